#include "formats/FormatPanel.h"

#include "CatalogFiles.h"
#include "tests/support/TestSupport.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTest>

#include <utility>

namespace {

QStringList Items(const QComboBox* list) {
    QStringList items;
    for (int i = 0; i < list->count(); ++i) {
        items << list->itemText(i);
    }
    return items;
}

QStringList PresetRecord6(const QString& category, const QString& label, const QString& ext) {
    return {QStringLiteral("<preset>"),
            QStringLiteral("<label>%1</label>").arg(label),
            QStringLiteral("<params>-c copy</params>"),
            QStringLiteral("<extension>%1</extension>").arg(ext),
            QStringLiteral("<category>%1</category>").arg(category),
            QStringLiteral("</preset>")};
}

QStringList CodecRecord5(const QString& name, const QString& description, const QString& type) {
    return {QStringLiteral("<codec>"), QStringLiteral("<name>%1</name>").arg(name),
            QStringLiteral("<description>%1</description>").arg(description),
            QStringLiteral("<type>%1</type>").arg(type), QStringLiteral("</codec>")};
}

// A panel loaded from small catalogs: category A holds L1 (mp4, mkv) and L2 (avi); category B
// holds L1 (webm) and L3 (mov); A's L1 with mp4 occurs twice.
struct LoadedPanel {
    QTemporaryDir folder;
    TestSupport::ApplicationFolderOverride appFolder{folder.path()};
    TestSupport::MessageRecorder messages;
    QLabel lblFormat;
    FormatPanel panel{&lblFormat};

    LoadedPanel() {
        QStringList presets{QStringLiteral("<?xml version=\"1.0\"?>"), QStringLiteral("<presets>")};
        presets += PresetRecord6("A", "L1", "mp4");
        presets += PresetRecord6("A", "L1", "mkv");
        presets += PresetRecord6("A", "L2", "avi");
        presets += PresetRecord6("B", "L1", "webm");
        presets += PresetRecord6("B", "L3", "mov");
        presets += PresetRecord6("A", "L1", "mp4");
        presets << QStringLiteral("</presets>") << QString();
        QStringList codecs{QStringLiteral("<?xml version=\"1.0\"?>"), QStringLiteral("<codecs>")};
        codecs += CodecRecord5("mpeg4", "MPEG-4 Video", "video codec");
        codecs += CodecRecord5("mp3", "MP3 Audio", "audio codec");
        codecs << QStringLiteral("</codecs>") << QString();
        CatalogFiles::Write(folder.path(), QStringLiteral("presets.xml"),
                            CatalogFiles::Lines(presets));
        CatalogFiles::Write(folder.path(), QStringLiteral("codecs.xml"),
                            CatalogFiles::Lines(codecs));
        panel.LoadPresets();
        panel.LoadCodecs();
        panel.show();
    }
};

void ChooseWithKeyboard(QComboBox* list, int index) {
    list->setFocus();
    while (list->currentIndex() < index) {
        QTest::keyClick(list, Qt::Key_Down);
    }
    while (list->currentIndex() > index) {
        QTest::keyClick(list, Qt::Key_Up);
    }
}

} // namespace

class tst_FormatPanel : public QObject {
    Q_OBJECT

private slots:
    void presetListsFormAChain() {
        LoadedPanel w;
        QVERIFY(w.messages.texts().isEmpty());
        // After loading, every list starts at its first entry.
        QCOMPARE(Items(w.panel.cmbCategory), QStringList({"A", "B"}));
        QCOMPARE(Items(w.panel.cmbOutVCodec), QStringList({"L1", "L2"}));
        QCOMPARE(Items(w.panel.cmbOutFormat), QStringList({"mp4", "mkv"}));
        QCOMPARE(w.panel.cmbOutVCodec->currentIndex(), 0);
        QCOMPARE(w.panel.cmbOutFormat->currentIndex(), 0);

        // A label's containers are those of the current category only.
        ChooseWithKeyboard(w.panel.cmbOutFormat, 1);
        ChooseWithKeyboard(w.panel.cmbCategory, 1);
        QCOMPARE(Items(w.panel.cmbOutVCodec), QStringList({"L1", "L3"}));
        QCOMPARE(Items(w.panel.cmbOutFormat), QStringList({"webm"}));
        QCOMPARE(w.panel.cmbOutFormat->currentIndex(), 0);

        ChooseWithKeyboard(w.panel.cmbOutVCodec, 1);
        QCOMPARE(Items(w.panel.cmbOutFormat), QStringList({"mov"}));

        // Back in A the lower lists start over at their first entries.
        ChooseWithKeyboard(w.panel.cmbCategory, 0);
        QCOMPARE(w.panel.cmbOutVCodec->currentText(), QStringLiteral("L1"));
        QCOMPARE(w.panel.cmbOutFormat->currentText(), QStringLiteral("mp4"));
        QCOMPARE(w.panel.Container(), QStringLiteral("mp4"));
    }

    void optionBringsItsPageToTheFront() {
        LoadedPanel w;
        QTest::mouseClick(w.panel.optFormat[1], Qt::LeftButton);
        QCOMPARE(w.panel.frFormat->currentIndex(), 1);
        QVERIFY(!w.panel.PresetMode());
        QCOMPARE(w.panel.Container(), QStringLiteral("WMV"));
        QTest::mouseClick(w.panel.optFormat[0], Qt::LeftButton);
        QCOMPARE(w.panel.frFormat->currentIndex(), 0);
        QVERIFY(w.panel.PresetMode());
    }

    // The choice leaves the panel with every box's text in its own field, in both modes.
    void choiceHoldsWhatTheBoxesHold() {
        LoadedPanel w;
        ChooseWithKeyboard(w.panel.cmbCategory, 1);
        ChooseWithKeyboard(w.panel.cmbOutVCodec, 1);
        FormatChoice choice = w.panel.Choice();
        QVERIFY(choice.presetMode);
        QCOMPARE(choice.category, QStringLiteral("B"));
        QCOMPARE(choice.label, QStringLiteral("L3"));
        QCOMPARE(choice.extension, QStringLiteral("mov"));
        QCOMPARE(choice.Container(), QStringLiteral("mov"));

        QTest::mouseClick(w.panel.optFormat[1], Qt::LeftButton);
        ChooseWithKeyboard(w.panel.cmbCustContainer, 3);
        ChooseWithKeyboard(w.panel.cmbCVSize, 7);
        ChooseWithKeyboard(w.panel.cmbCVAspect, 2);
        ChooseWithKeyboard(w.panel.cmbCASmapleRate, 4);
        ChooseWithKeyboard(w.panel.cmbCVCodec, w.panel.cmbCVCodec->findText("MPEG-4 Video"));
        ChooseWithKeyboard(w.panel.cmbCACodec, w.panel.cmbCACodec->findText("MP3 Audio"));
        for (const auto& [box, text] : {std::pair{w.panel.txtCVBitrate, "900"},
                                        {w.panel.txtFrameRate, "29.97"},
                                        {w.panel.txtCABirate, "128"},
                                        {w.panel.txtChannels, "6"}}) {
            box->clear();
            QTest::keyClicks(box, QLatin1String(text));
        }
        FormatChoice expected;
        expected.presetMode = false;
        expected.category = QStringLiteral("B");
        expected.label = QStringLiteral("L3");
        expected.extension = QStringLiteral("mov");
        expected.container = QStringLiteral("MOV");
        expected.videoCodec = QStringLiteral("MPEG-4 Video");
        expected.videoBitrate = QStringLiteral("900");
        expected.size = QStringLiteral("vga(640x480)");
        expected.frameRate = QStringLiteral("29.97");
        expected.aspect = QStringLiteral("16:9");
        expected.audioCodec = QStringLiteral("MP3 Audio");
        expected.audioBitrate = QStringLiteral("128");
        expected.sampleRate = QStringLiteral("22.05 KHz");
        expected.channels = QStringLiteral("6");
        choice = w.panel.Choice();
        QCOMPARE(choice.videoCodec, expected.videoCodec);
        QCOMPARE(choice.audioCodec, expected.audioCodec);
        QVERIFY(choice == expected);
        QCOMPARE(choice.Container(), QStringLiteral("MOV"));
        QCOMPARE(w.panel.Container(), QStringLiteral("MOV"));
    }

    void bitrateBoxesStopAtFourDigits() {
        LoadedPanel w;
        for (QLineEdit* box : {w.panel.txtCVBitrate, w.panel.txtCABirate}) {
            box->clear();
            box->setFocus();
            QTest::keyClicks(box, QStringLiteral("a1-2.3 4"));
            QCOMPARE(box->text(), QStringLiteral("1234"));
            QTest::keyClick(box, Qt::Key_5);
            QCOMPARE(box->text(), QStringLiteral("1234"));
            // Even with the four digits selected a digit cannot replace them.
            box->selectAll();
            QTest::keyClick(box, Qt::Key_9);
            QCOMPARE(box->text(), QStringLiteral("1234"));
            box->end(false);
            QTest::keyClick(box, Qt::Key_Backspace);
            QCOMPARE(box->text(), QStringLiteral("123"));
            QTest::keyClick(box, Qt::Key_0);
            QCOMPARE(box->text(), QStringLiteral("1230"));
        }
    }

    void channelsTakeOneDigitFromOneToNine() {
        LoadedPanel w;
        QLineEdit* box = w.panel.txtChannels;
        box->clear();
        box->setFocus();
        QTest::keyClick(box, Qt::Key_0);
        QCOMPARE(box->text(), QString());
        QTest::keyClicks(box, QStringLiteral("62"));
        QCOMPARE(box->text(), QStringLiteral("6"));
        QTest::keyClick(box, Qt::Key_Backspace);
        QTest::keyClick(box, Qt::Key_9);
        QCOMPARE(box->text(), QStringLiteral("9"));
    }

    void frameRateTakesOnePointAndNoZeroAfterIt() {
        LoadedPanel w;
        QLineEdit* box = w.panel.txtFrameRate;
        box->clear();
        box->setFocus();
        QTest::keyClicks(box, QStringLiteral("29.97"));
        QCOMPARE(box->text(), QStringLiteral("29.97"));
        QTest::keyClicks(box, QStringLiteral("0."));
        QCOMPARE(box->text(), QStringLiteral("29.97"));
        // Wherever the caret is: no 0 once the text holds a point.
        box->home(false);
        QTest::keyClick(box, Qt::Key_0);
        QCOMPARE(box->text(), QStringLiteral("29.97"));

        box->clear();
        QTest::keyClicks(box, QStringLiteral("10.05"));
        QCOMPARE(box->text(), QStringLiteral("10.5"));

        box->clear();
        QTest::keyClicks(box, QStringLiteral("1234567890"));
        QCOMPARE(box->text(), QStringLiteral("123456789"));
    }

    void shortcutsDoNotTypeIntoTheBoxes() {
        LoadedPanel w;
        QApplication::clipboard()->setText(QStringLiteral("77"));
        QLineEdit* box = w.panel.txtCABirate;
        box->clear();
        box->setFocus();
        QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(box->text(), QString());
        // Caret keys still work.
        QTest::keyClicks(box, QStringLiteral("12"));
        QTest::keyClick(box, Qt::Key_Left);
        QTest::keyClick(box, Qt::Key_3);
        QCOMPARE(box->text(), QStringLiteral("132"));
    }

    void saveAndCloseChecksTheCustomBoxesInOrder() {
        LoadedPanel w;
        QSignalSpy closes(&w.panel, &FormatPanel::CloseRequested);
        w.lblFormat.setText(QStringLiteral("before"));
        w.panel.txtChannels->clear();
        w.panel.txtFrameRate->clear();
        w.panel.txtCABirate->clear();
        w.panel.txtCVBitrate->clear();

        const QStringList expected{
            QStringLiteral("Channels Field in the custom Format can not be empty."),
            QStringLiteral("Frame Rate Field in the custom Format can not be empty."),
            QStringLiteral("Audio Bitrate Field in the custom Format can not be empty."),
            QStringLiteral("Video Bitrate Field in the custom Format can not be empty.")};
        QLineEdit* boxes[] = {w.panel.txtChannels, w.panel.txtFrameRate, w.panel.txtCABirate,
                              w.panel.txtCVBitrate};
        // In preset mode too, although the boxes are not in use.
        QVERIFY(w.panel.PresetMode());
        for (int i = 0; i < 4; ++i) {
            w.messages.clear();
            QTest::mouseClick(w.panel.cmdHide, Qt::LeftButton);
            QCOMPARE(w.messages.texts(), QStringList{expected[i]});
            QCOMPARE(w.messages.messages.first().icon, Platform::MessageIcon::Exclamation);
            QCOMPARE(closes.count(), 0);
            QCOMPARE(w.lblFormat.text(), QStringLiteral("before"));
            boxes[i]->setText(QStringLiteral("2"));
        }
        w.messages.clear();
        QTest::mouseClick(w.panel.cmdHide, Qt::LeftButton);
        QVERIFY(w.messages.texts().isEmpty());
        QCOMPARE(closes.count(), 1);
        QCOMPARE(w.lblFormat.text(), QStringLiteral("Category:A, Codec:\"L1\", Container:\"mp4\""));
    }

    void labelDescribesTheModeOnlyAfterSaveAndClose() {
        LoadedPanel w;
        QTest::mouseClick(w.panel.cmdHide, Qt::LeftButton);
        const QString preset = w.lblFormat.text();
        QTest::mouseClick(w.panel.optFormat[1], Qt::LeftButton);
        w.panel.cmbCustContainer->setCurrentIndex(2);
        QCOMPARE(w.lblFormat.text(), preset);
        QTest::mouseClick(w.panel.cmdHide, Qt::LeftButton);
        QCOMPARE(w.lblFormat.text(),
                 QStringLiteral("Container:AVI, Video Codec:\"MPEG-4 Video\", Audio "
                                "Codec:\"MP3 Audio\""));
    }

    void sizeListKeepsItsTrailingBlanks() {
        QCOMPARE(FormatPanel::SizeList.size(), 29);
        QStringList withBlank;
        for (const QString& size : FormatPanel::SizeList) {
            if (size.endsWith(QLatin1Char(' '))) {
                withBlank << size;
            }
        }
        QCOMPARE(withBlank, QStringList({"qsxga(2560x2048) ", "wxga(1366x768) ",
                                         "wqsxga(3200x2048) ", "hd720(1280x720) "}));
    }
};

QTEST_MAIN(tst_FormatPanel)
#include "tst_FormatPanel.moc"
