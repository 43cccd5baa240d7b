#include "app/Session.h"

#include <QSignalSpy>
#include <QTest>

class tst_Session : public QObject {
    Q_OBJECT

private slots:
    // A new session has no file and no task; each value announces a change once, with the new
    // value, and a value set again unchanged is not announced.
    void changesAreAnnouncedOnce() {
        Session session;
        QVERIFY(session.NoMedia());
        QVERIFY(!session.Converting());
        QCOMPARE(session.InputFile(), QString());
        QSignalSpy noMedia(&session, &Session::NoMediaChanged);
        QSignalSpy converting(&session, &Session::ConvertingChanged);
        QSignalSpy inputFile(&session, &Session::InputFileChanged);

        session.SetNoMedia(true);
        session.SetConverting(false);
        session.SetInputFile(QString());
        QCOMPARE(noMedia.count() + converting.count() + inputFile.count(), 0);

        session.SetNoMedia(false);
        session.SetNoMedia(false);
        session.SetConverting(true);
        session.SetInputFile(QStringLiteral("/videos/a.mp4"));
        session.SetInputFile(QStringLiteral("/videos/a.mp4"));
        QCOMPARE(noMedia.count(), 1);
        QCOMPARE(noMedia.first().first().toBool(), false);
        QCOMPARE(converting.count(), 1);
        QCOMPARE(converting.first().first().toBool(), true);
        QCOMPARE(inputFile.count(), 1);
        QCOMPARE(inputFile.first().first().toString(), QStringLiteral("/videos/a.mp4"));
        QVERIFY(!session.NoMedia());
        QVERIFY(session.Converting());
        QCOMPARE(session.InputFile(), QStringLiteral("/videos/a.mp4"));

        // A receiver already sees the new value.
        bool seen = true;
        connect(&session, &Session::ConvertingChanged, this, [&] { seen = session.Converting(); });
        session.SetConverting(false);
        QVERIFY(!seen);
    }
};

QTEST_MAIN(tst_Session)
#include "tst_Session.moc"
