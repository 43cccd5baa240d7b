#pragma once

#include <QObject>
#include <QString>

#include <memory>

class DOSOutputs;

// The only client of the encoder. Builds the encoder's command line from an input file, an output
// file and the encoder arguments, runs it through a DOSOutputs, turns the encoder's console
// output into Progress (a percentage of FileTimeLength) and CurrentStatus events, and after the
// run shows the encoder's own error text when encoding never began. It also probes whether the
// encoder can read a file at all.
class CVideoConv : public QObject {
    Q_OBJECT

public:
    explicit CVideoConv(QObject* parent = nullptr);
    ~CVideoConv() override;
    CVideoConv(const CVideoConv&) = delete;
    CVideoConv& operator=(const CVideoConv&) = delete;

    QString InputFile() const { return inputFile_; }
    void SetInputFile(const QString& InputFile) { inputFile_ = InputFile; }
    QString OutputFile() const { return outputFile_; }
    void SetOutputFile(const QString& OutputFile) { outputFile_ = OutputFile; }
    // Length of the media time to be encoded, in seconds; 0 until set.
    void SetFileTimeLength(float FileTimeLength) { fileTimeLength_ = FileTimeLength; }
    // The encoder arguments placed between the input and the output; a cut start among them
    // ("-ss S") goes in front of the input instead (ConversionCommand::Build).
    void SetParametrs(const QString& Parametrs) { parametrs_ = Parametrs; }

    // Runs the conversion; returns when the encoder has ended or has been stopped. A failure
    // shows "Error converting file: <name>" with the encoder's own words or what is wrong with
    // the output.
    void StartConversion();
    // Whether the last conversion completed: encoding began, the encoder exited with status 0,
    // and reading the output back found what the encoder announced for it (every stream, with
    // pictures in its video) and about FileTimeLength seconds of it.
    bool Completed() const { return completed_; }
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
    QString FailureDetail(const QString& outputs) const;
    QString OutputProblem(const QString& outputs);
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
    // Reads the output back after the encoder has ended; its output is nobody's progress.
    std::unique_ptr<DOSOutputs> checker_;
    bool abandoned_ = false;
    bool stopped_ = false;
    bool completed_ = false;
};
