#include "ClientTexts.h"

#include <QTest>

using namespace kestrel;
using namespace Qt::StringLiterals;

class TestClientTexts : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The version shown is the one CMake builds.
    void versionFromTheProject()
    {
        const QString version = QString::fromLatin1(KESTREL_PROJECT_VERSION);
        QCOMPARE(texts::versionText(), version);
        QCOMPARE(texts::trayTip(), u"KESTREL ("_s + version + u')');
        QCOMPARE(texts::noticeCaption(u"corvafax-client"_s), u"corvafax-client ("_s + version + u')');
    }

    void feedbackAddressKeepsItsEscapes()
    {
        const QUrl url = texts::feedbackPageUrl();
        QVERIFY(url.isValid());
        QCOMPARE(url.toString(QUrl::FullyEncoded), u"http://"_s + texts::FeedbackHost +
                                                       u"/help/contact.php?subject=KESTRELWIN%20Client%20"_s +
                                                       texts::versionText());
        QCOMPARE(url.path(), u"/help/contact.php"_s);
    }

    void incompleteConfigurationBox()
    {
        const MessageBoxRequest box = texts::incompleteConfigurationBox();
        QVERIFY(box.text.endsWith(u"necessari "_s));
        QCOMPARE(box.icon, MsgIcon::Information);
        QCOMPARE(box.buttons, MsgButtons::Ok);
        QVERIFY(box.title.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestClientTexts)
#include "tst_clienttexts.moc"
