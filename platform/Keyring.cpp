#include "Keyring.h"

#include "Wait.h"

#include <QPointer>

#include <optional>
#include <qt6keychain/keychain.h>

namespace kestrel::keyring {
namespace {

Answer answerOf(const QKeychain::Job& job, const QString& password)
{
    switch (job.error()) {
    case QKeychain::NoError:
        return {Answer::Kind::Done, password, {}};
    case QKeychain::EntryNotFound:
        return {Answer::Kind::NotFound, {}, {}};
    default:
        return {Answer::Kind::Unavailable, {}, job.errorString()};
    }
}

// The job has no parent and deletes itself once it has finished: the
// secret store's answer refers to it, so it must outlive whoever asked,
// however long the store takes.
void start(QKeychain::Job* job, QObject* receiver, Handler handler,
           std::function<QString(QKeychain::Job*)> passwordOf)
{
    job->setAutoDelete(true);
    QObject::connect(job, &QKeychain::Job::finished, receiver,
                     [handler = std::move(handler), passwordOf = std::move(passwordOf)](
                         QKeychain::Job* done) { handler(answerOf(*done, passwordOf(done))); });
    job->start();
}

} // namespace

QString keyOf(const QString& user, const QString& address)
{
    return user + u'@' + address;
}

void read(const QString& key, QObject* receiver, Handler handler)
{
    auto* job = new QKeychain::ReadPasswordJob(Service);
    job->setKey(key);
    start(job, receiver, std::move(handler),
          [](QKeychain::Job* done) { return static_cast<QKeychain::ReadPasswordJob*>(done)->textData(); });
}

void write(const QString& key, const QString& password, QObject* receiver, Handler handler)
{
    auto* job = new QKeychain::WritePasswordJob(Service);
    job->setKey(key);
    job->setTextData(password);
    start(job, receiver, std::move(handler), [password](QKeychain::Job*) { return password; });
}

Answer readWaiting(const QString& key, int limitMs)
{
    // The receiver goes with this call: an answer after the limit finds no
    // one to tell.
    QObject receiver;
    std::optional<Answer> answer;
    read(key, &receiver, [&answer](const Answer& got) { answer = got; });
    const WaitOutcome outcome = waitUntil([&answer] { return answer.has_value(); }, limitMs);
    if (outcome == WaitOutcome::Done)
        return *answer;
    return {Answer::Kind::Unavailable,
            {},
            outcome == WaitOutcome::Interrupted ? u"interrupted"_s : u"no answer from the keyring in time"_s};
}

} // namespace kestrel::keyring
