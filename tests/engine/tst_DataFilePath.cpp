// Where the catalogs and the help page are found: beside the program (the build folder), else in
// ../share/quenlet/ (an installed program); the encoder keeps its own rule.
#include "engine/EncoderWording.h"
#include "engine/Platform.h"
#include "formats/CodecCatalog.h"
#include "formats/PresetCatalog.h"
#include "tests/support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

bool Touch(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write("x") == 1;
}

} // namespace

class tst_DataFilePath : public QObject {
    Q_OBJECT

    QTemporaryDir root_;
    QString bin_;
    QString share_;

private slots:
    void init() {
        QVERIFY(root_.isValid());
        QDir(root_.path()).removeRecursively();
        bin_ = root_.filePath(QStringLiteral("prefix/bin"));
        share_ = root_.filePath(QStringLiteral("prefix/share/quenlet"));
        QVERIFY(QDir().mkpath(bin_));
    }

    void installedLayoutIsFoundBelowShare() {
        QVERIFY(QDir().mkpath(share_));
        for (const char* name : {"presets.xml", "codecs.xml", "Help.html"}) {
            QVERIFY(Touch(QDir(share_).filePath(QString::fromLatin1(name))));
        }
        const TestSupport::ApplicationFolderOverride program(bin_);
        QCOMPARE(PresetCatalog::FilePath(), share_ + QStringLiteral("/presets.xml"));
        QCOMPARE(CodecCatalog::FilePath(), share_ + QStringLiteral("/codecs.xml"));
        QCOMPARE(Platform::DataFilePath(QStringLiteral("Help.html")),
                 share_ + QStringLiteral("/Help.html"));
    }

    // A file beside the program wins, file by file, so a build folder inside an installed
    // prefix still uses its own copies.
    void fileBesideTheProgramComesFirst() {
        QVERIFY(QDir().mkpath(share_));
        QVERIFY(Touch(QDir(share_).filePath(QStringLiteral("presets.xml"))));
        QVERIFY(Touch(QDir(share_).filePath(QStringLiteral("codecs.xml"))));
        QVERIFY(Touch(QDir(bin_).filePath(QStringLiteral("presets.xml"))));
        const TestSupport::ApplicationFolderOverride program(bin_);
        QCOMPARE(PresetCatalog::FilePath(), bin_ + QStringLiteral("/presets.xml"));
        QCOMPARE(CodecCatalog::FilePath(), share_ + QStringLiteral("/codecs.xml"));
    }

    // A missing file is reported where it belongs: in the installed data folder when there is
    // one, beside the program otherwise.
    void missingFileNamesTheFolderItBelongsIn() {
        {
            const TestSupport::ApplicationFolderOverride program(bin_);
            QCOMPARE(PresetCatalog::FilePath(), bin_ + QStringLiteral("/presets.xml"));
        }
        QVERIFY(QDir().mkpath(share_));
        const TestSupport::ApplicationFolderOverride program(bin_);
        QCOMPARE(PresetCatalog::FilePath(), share_ + QStringLiteral("/presets.xml"));
    }

    // The encoder is never looked up in the data folder: beside the program, else on PATH.
    void encoderIgnoresTheDataFolder() {
        QVERIFY(QDir().mkpath(share_));
        QFile fake(QDir(share_).filePath(QStringLiteral("ffmpeg")));
        QVERIFY(fake.open(QIODevice::WriteOnly));
        fake.write("#!/bin/sh\n");
        fake.close();
        QVERIFY(fake.setPermissions(fake.permissions() | QFileDevice::ExeOwner));
        const TestSupport::ApplicationFolderOverride program(bin_);
        QVERIFY(!EncoderWording::EncoderProgram().startsWith(root_.path()));
    }
};

QTEST_GUILESS_MAIN(tst_DataFilePath)
#include "tst_DataFilePath.moc"
