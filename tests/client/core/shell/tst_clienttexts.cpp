#include "ClientTexts.h"

#include <QTest>

using namespace kestrel;
using namespace Qt::StringLiterals;

class TestClientTexts : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The version shown is the one CMake builds, in every text that has it.
    void versionFromTheProject()
    {
        const QString version = QString::fromLatin1(KESTREL_PROJECT_VERSION);
        QCOMPARE(texts::trayTip(), u"KESTREL ("_s + version + u')');
        QCOMPARE(texts::noticeCaption(u"corvafax-client"_s), u"corvafax-client ("_s + version + u')');
        QCOMPARE(texts::feedbackPageUrl().toString(QUrl::FullyEncoded),
                 u"http://"_s + texts::FeedbackHost + u"/help/contact.php?subject=KESTRELWIN%20Client%20"_s +
                     version);
    }
};

QTEST_GUILESS_MAIN(TestClientTexts)
#include "tst_clienttexts.moc"
