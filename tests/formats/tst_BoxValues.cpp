// The custom format's number boxes hold only what their key filters allow, however text arrives
// (context-menu paste, the paste shortcut, a drop, a stored setting), and nothing in a box can
// reach the encoder as more than one argument: a value such as "2 <a file>" would otherwise name
// a second output that the encoder overwrites.
#include "engine/CVideoConv.h"
#include "engine/CommandLine.h"
#include "formats/CutParameters.h"
#include "formats/FormatPanel.h"
#include "settings/CRegister.h"
#include "settings/RememberedSettings.h"
#include "tests/settings/StoreTestSupport.h"
#include "tests/support/TestSupport.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCryptographicHash>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

// The encoder arguments of what the panel holds, for the range from `start` to `end`.
QString PanelArguments(const FormatPanel& panel, qint32 start, qint32 end) {
    return CutParameters::GetParamaters(panel.Choice(), panel.presets, panel.codecs, start, end);
}

QByteArray Hash(const QString& path) {
    return QCryptographicHash::hash(StoreTestSupport::ReadBytes(path), QCryptographicHash::Sha256);
}

// The box's own context menu, its Paste entry triggered as a click on it would.
void PasteFromContextMenu(QLineEdit* box) {
    const std::unique_ptr<QMenu> menu(box->createStandardContextMenu());
    QAction* paste = nullptr;
    for (QAction* action : menu->actions()) {
        if (action->objectName() == QLatin1String("edit-paste") ||
            action->text().startsWith(QLatin1String("&Paste"))) {
            paste = action;
        }
    }
    QVERIFY(paste != nullptr);
    QVERIFY(paste->isEnabled());
    paste->trigger();
}

// Text dragged from elsewhere and dropped on the box.
void Drop(QLineEdit* box, const QString& text) {
    QMimeData mime;
    mime.setText(text);
    const QPointF at(box->width() / 2.0, box->height() / 2.0);
    QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(box, &enter);
    QDragMoveEvent move(at.toPoint(), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(box, &move);
    QDropEvent drop(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(box, &drop);
}

// A panel with the shipped catalogs, shown, in custom mode.
struct Panel {
    TestSupport::ApplicationFolderOverride appFolder{TestSupport::BuildFolder()};
    TestSupport::MessageRecorder messages;
    QLabel lblFormat;
    FormatPanel panel{&lblFormat};

    Panel() {
        panel.LoadPresets();
        panel.LoadCodecs();
        panel.optFormat[1]->setChecked(true);
        panel.optFormat_Click(1);
        panel.show();
    }
};

} // namespace

class tst_BoxValues : public QObject {
    Q_OBJECT

    QTemporaryDir folder_;
    QString victim_; // an unrelated file that must never change

private slots:
    void initTestCase() {
        QVERIFY(folder_.isValid());
        victim_ = folder_.filePath(QStringLiteral("holiday.mp4"));
        QVERIFY(TestSupport::MakeClip(victim_, 1));
    }

    void pastedAndDroppedTextKeepsTheBoxesForm() {
        Panel w;
        struct Case {
            QLineEdit* box;
            QString bad;  // refused whole
            QString good; // taken
        };
        const QString attack = QStringLiteral(" ") + victim_;
        const Case cases[] = {{w.panel.txtChannels, QStringLiteral("2") + attack, "6"},
                              {w.panel.txtFrameRate, QStringLiteral("25") + attack, "29.97"},
                              {w.panel.txtCABirate, QStringLiteral("64") + attack, "128"},
                              {w.panel.txtCVBitrate, QStringLiteral("1e3"), "1500"}};
        for (const Case& c : cases) {
            // Context menu: the bad text changes nothing, a good one replaces the selection.
            c.box->setText(QStringLiteral("1"));
            c.box->selectAll();
            QApplication::clipboard()->setText(c.bad);
            PasteFromContextMenu(c.box);
            QCOMPARE(c.box->text(), QStringLiteral("1"));
            QApplication::clipboard()->setText(c.good);
            c.box->selectAll();
            PasteFromContextMenu(c.box);
            QCOMPARE(c.box->text(), c.good);

            // The shortcut types nothing, whatever the clipboard holds.
            c.box->clear();
            c.box->setFocus();
            QApplication::clipboard()->setText(c.bad);
            QTest::keyClick(c.box, Qt::Key_V, Qt::ControlModifier);
            QCOMPARE(c.box->text(), QString());
            QTest::keyClick(c.box, Qt::Key_Insert, Qt::ShiftModifier);
            QCOMPARE(c.box->text(), QString());

            // A drop of the bad text changes nothing; a good one lands.
            Drop(c.box, c.bad);
            QCOMPARE(c.box->text(), QString());
            Drop(c.box, c.good);
            QCOMPARE(c.box->text(), c.good);
        }
        // Beyond the box's length or outside its digits, even without a blank.
        QApplication::clipboard()->setText(QStringLiteral("12345"));
        w.panel.txtCVBitrate->clear();
        PasteFromContextMenu(w.panel.txtCVBitrate);
        QCOMPARE(w.panel.txtCVBitrate->text(), QString());
        QApplication::clipboard()->setText(QStringLiteral("0"));
        w.panel.txtChannels->clear();
        PasteFromContextMenu(w.panel.txtChannels);
        QCOMPARE(w.panel.txtChannels->text(), QString());
        QApplication::clipboard()->setText(QStringLiteral("29.9.7"));
        w.panel.txtFrameRate->clear();
        PasteFromContextMenu(w.panel.txtFrameRate);
        QCOMPARE(w.panel.txtFrameRate->text(), QString());
        QVERIFY(w.messages.messages.isEmpty());
    }

    // The settings file says "txtChannels"="2 <a file>" (and the like for the frame rate): the
    // boxes come back with their defaults, the real encoder cuts with them, and the file stays.
    void storedValuesOfAnotherFormReadAsTheDefaults() {
        StoreTestSupport::StoreFolderScope store;
        const QString path = store.file(QStringLiteral("HKEY_LOCAL_MACHINE.ini"));
        QVERIFY(StoreTestSupport::WriteBytes(
            path, QStringLiteral("Quenlet settings store 1\n"
                                 "[Software\\Corvanel Quenlet\\Settings]\n"
                                 "\"optFormat\"=\"1\"\n"
                                 "\"txtChannels\"=\"2 %1\"\n"
                                 "\"txtFrameRate\"=\"25 %1\"\n"
                                 "\"txtCABirate\"=\"96 %1\"\n"
                                 "\"txtCVBitrate\"=\"1.5\"\n")
                      .arg(victim_)
                      .toUtf8()));
        QCOMPARE(CRegister().REGGetSetting(HKEY_LOCAL_MACHINE, RememberedSettings::SettingsKey,
                                           QStringLiteral("txtChannels"), QString()),
                 QStringLiteral("2 ") + victim_);
        const QByteArray before = Hash(victim_);

        Panel w;
        RememberedSettings settings(&w.panel, nullptr, nullptr, nullptr, nullptr);
        settings.LoadSettings();
        QVERIFY(!w.panel.PresetMode());
        QCOMPARE(w.panel.txtChannels->text(), QStringLiteral("2"));
        QCOMPARE(w.panel.txtFrameRate->text(), QStringLiteral("25"));
        QCOMPARE(w.panel.txtCABirate->text(), QStringLiteral("64"));
        QCOMPARE(w.panel.txtCVBitrate->text(), QStringLiteral("320"));

        const QString parameters = PanelArguments(w.panel, 0, 1);
        const QStringList arguments = CommandLine::SplitCommandLine(parameters);
        QStringList options;
        for (qsizetype i = 0; i < arguments.size(); i += 2) {
            options << arguments.at(i);
        }
        QCOMPARE(arguments.size(), 2 * options.size());
        QCOMPARE(options,
                 (QStringList{"-ar", "-ab", "-acodec", "-ac", "-vcodec", "-b", "-r", "-ss", "-t"}));
        QCOMPARE(arguments.at(arguments.indexOf(QStringLiteral("-ac")) + 1), QStringLiteral("2"));

        // The real encoder, as the task runs it.
        const QString input = folder_.filePath(QStringLiteral("input.mp4"));
        QVERIFY(TestSupport::MakeClip(input, 2));
        const QString output = folder_.filePath(QStringLiteral("cut.avi"));
        CVideoConv converter;
        converter.SetInputFile(input);
        converter.SetOutputFile(output);
        converter.SetParametrs(parameters + QStringLiteral(" -y"));
        converter.SetFileTimeLength(1);
        converter.StartConversion();
        QVERIFY2(w.messages.messages.isEmpty(), qPrintable(w.messages.texts().join(u'\n')));
        QCOMPARE(TestSupport::Probe(output).streamTypes, (QStringList{"video", "audio"}));
        QCOMPARE(Hash(victim_), before);
    }

    // Text that bypasses the boxes' checks (set from code) is refused by the command line's
    // builder: a message, no arguments, and the encoder is never asked.
    void argumentsRefuseTextOfAnotherForm() {
        Panel w;
        QVERIFY(PanelArguments(w.panel, 0, 4).contains(QStringLiteral(" -ac 2 ")));
        const std::pair<QLineEdit*, QString> cases[] = {
            {w.panel.txtChannels, QStringLiteral("2 ") + victim_},
            {w.panel.txtChannels, QStringLiteral("\"2\"")},
            {w.panel.txtChannels, QString()},
            {w.panel.txtChannels, QStringLiteral("12")},
            {w.panel.txtFrameRate, QStringLiteral("25\t-y")},
            {w.panel.txtFrameRate, QStringLiteral("2.5.")},
            {w.panel.txtFrameRate, QStringLiteral(".")},
        };
        for (const auto& [box, text] : cases) {
            const QString kept = box->text();
            box->setText(text);
            w.messages.clear();
            QCOMPARE(PanelArguments(w.panel, 0, 4), QString());
            QCOMPARE(w.messages.messages.size(), 1);
            QVERIFY2(w.messages.texts().first().startsWith(
                         QStringLiteral("Error occured while getting paramters\r\nThe ")),
                     qPrintable(w.messages.texts().first()));
            box->setText(kept);
        }
        // Forms the boxes allow pass as they are.
        w.panel.txtFrameRate->setText(QStringLiteral("29.97"));
        w.panel.txtChannels->setText(QStringLiteral("6"));
        const QString parameters = PanelArguments(w.panel, 0, 4);
        QVERIFY(parameters.contains(QStringLiteral(" -ac 6 ")));
        QVERIFY(parameters.contains(QStringLiteral(" -r 29.97 ")));
    }
};

QTEST_MAIN(tst_BoxValues)
#include "tst_BoxValues.moc"
