#pragma once

#include <QObject>
#include <QString>

#include <memory>

class DOSOutputs;
struct PlanStep;
struct SourceFacts;
struct StepResult;

// The only client of the encoder. A conversion is carried out as its plan says (CutPlanning: one
// run of the encoder, or several for an exact copy or a cut that fits a size): the source is
// described by the prober first, each run goes through one DOSOutputs, and the encoder's console
// output becomes Progress (a percentage of the whole task) and CurrentStatus events. Everything
// is written in a private work folder inside the output folder (WorkFolder); the output gets
// its name only after the output check has passed, and a name taken meanwhile is never
// overwritten. A failure shows the encoder's own error lines or what is wrong with the output.
// It also probes whether the encoder can read a file at all.
class CVideoConv : public QObject {
    Q_OBJECT

public:
    explicit CVideoConv(QObject* parent = nullptr);
    ~CVideoConv() override;
    CVideoConv(const CVideoConv&) = delete;
    CVideoConv& operator=(const CVideoConv&) = delete;

    QString InputFile() const { return inputFile_; }
    void SetInputFile(const QString& InputFile) { inputFile_ = InputFile; }
    // The output's path; after a completed conversion, the name the file finally got (the next
    // free one when the planned name was taken while the cut ran).
    QString OutputFile() const { return outputFile_; }
    void SetOutputFile(const QString& OutputFile) { outputFile_ = OutputFile; }
    // Length of the media time to be encoded, in seconds; 0 until set.
    void SetFileTimeLength(float FileTimeLength) { fileTimeLength_ = FileTimeLength; }
    // The encoder arguments placed between the input and the output; a cut start among them
    // ("-ss S") goes in front of the input instead (ConversionCommand::Build).
    void SetParametrs(const QString& Parametrs) { parametrs_ = Parametrs; }

    // Runs the conversion; returns when it has ended or has been stopped. A failure shows
    // "Error converting file: <name>" with the encoder's own words or what is wrong with the
    // output; a stop shows nothing.
    void StartConversion();
    // Whether the last conversion completed: every run of its plan went well, reading the output
    // back found what the encoder announced for it (every stream, with pictures in its video)
    // and about FileTimeLength seconds of it, and the file has its name.
    bool Completed() const { return completed_; }
    // After a completed conversion, a sentence for the user when the cut was made otherwise than
    // its format promises (for example re-encoded instead of copied); empty otherwise.
    QString Notice() const { return notice_; }
    // Asks a running conversion to stop (from an event handler); returns at once.
    void StopConversion();
    // Stops as StopConversion does, for nobody waiting on the conversion any more (the window
    // is closing): the stopped run shows no message.
    void AbandonConversion();
    // Whether the encoder can read the file: false only when the encoder's error line for this
    // file says its format is unknown or its data invalid (EncoderWording::IsUnknownFormat).
    bool IsFileSupported(const QString& sMediaFile);

    // The command line a conversion runs: the encoder, the cut start if any, "-i", the input,
    // the other arguments and the output.
    QString BuildCommandLine() const;
    // What the encoder printed in the last run (a conversion's or a probe's); empty before the
    // first run.
    QString RunOutputs() const;
    // The encoder's output with its preamble (banner, input description, stream mapping) cut
    // off: the error text after it, from the last line break skipped on.
    static QString ExtractEncoderMessage(const QString& sOutputs);

signals:
    // Percentage of FileTimeLength encoded so far (not clamped), or -1 for an unknown format.
    void Progress(qint16& iProgress);
    // "Starting...", "Error", "Unknown format", "Cancelled" or "<time> Seconds Converted".
    void CurrentStatus(QString& sStatus);

private slots:
    void objDOS_ReceiveOutputs(QString& CommandOutputs);

private:
    DOSOutputs* Runner();
    DOSOutputs* Checker();
    QString CarryOut();
    SourceFacts ProbeSource();
    StepResult RunStep(const PlanStep& step);
    QString StepProblem(const PlanStep& step, const QString& outputs) const;
    QString FailureDetail(const QString& outputs) const;
    QString ProductProblem(const QString& product, const QString& encoderOutputs,
                           double expectedSeconds, qint64 maxBytes);
    QString Publish(const QString& product);
    void RaiseStatus(const QString& sStatus);
    void RaiseProgress(qint16 iProgress);

    QString inputFile_;
    // The input of the current or last run (a conversion's or a probe's): the encoder's error
    // line for it is what "Unknown format" is read from.
    QString runInput_;
    // The end of the run's output after its last line break, read again with the next piece.
    QString unfinishedLine_;
    QString outputFile_;
    float fileTimeLength_ = 0.0F;
    QString parametrs_;
    std::unique_ptr<DOSOutputs> objDOS;
    // Describes the source and reads the output back; its output is nobody's progress.
    std::unique_ptr<DOSOutputs> checker_;
    // The progress of the plan: the bar's part of the steps run so far, and the running step's
    // part and the media seconds its progress counts to (-1 for a run that tells no progress).
    double doneShare_ = 0;
    double stepShare_ = 1;
    double stepSeconds_ = 0;
    QString notice_;
    bool abandoned_ = false;
    bool stopped_ = false;
    bool completed_ = false;
};
