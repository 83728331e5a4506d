#pragma once

#include "Expected.h"
#include "JobOptions.h"

#include <QStringList>

class QCommandLineParser;

namespace kestrel {

struct SendRequest
{
    QString appliance;
    QString user;
    QString password;
    QString notify;
    qint16 maxDials = 3;
    QString line; // empty: the control's default line
    bool debug = false;
    QStringList numbers;
    QStringList files;
    // --at, --kill-after, --standard, --tries.
    JobOptions options;
    // After submitting, wait for every job's outcome (--wait), at most this
    // long (0: until interrupted); replies are awaited as the host's.
    bool wait = false;
    qint64 waitLimitMs = 0;
    int replyLimitMs = 60000;
};

// What corvafax-send's command line asks for: documents to send, or (with
// --capture) print jobs to wait for on the named printer, or (with --cancel)
// jobs to stop.
struct SendOptions
{
    bool capture = false;
    QString printer;     // with capture
    SendRequest request; // with capture only appliance and debug are set
    // The host's longest wait (--timeout); 0: not given, the host's own.
    qint64 hostWaitLimitMs = 0;
    // --cancel: stop these jobs instead (request has the appliance and login).
    bool cancel = false;
    QStringList jobs;
    // --tags FILE: the destinations are read from the tags on the file's
    // pages, each letter sent to its own (request has no numbers nor files).
    QString tagsFile;
    bool dropCommonPages = false; // --drop-common
};

// Declares the program's options and arguments on parser.
void addSendOptions(QCommandLineParser& parser);

// The request of a command line that parser has parsed, or the usage error
// to report (exit status 2). A password file is read here.
Expected<SendOptions> sendOptions(const QCommandLineParser& parser);

// Without --password or --password-file but with --user: the password the
// desktop's keyring keeps for that user at the appliance, waited for at
// most limitMs (a locked keyring asks through the desktop meanwhile).
// Returns what to tell the user when the keyring could not give it (the
// request then goes on without, as before); empty otherwise.
QString passwordFromKeyring(SendRequest& request, int limitMs);

// The longest wait for the keyring when --timeout does not say.
inline constexpr int KeyringLimitMs = 30000;

} // namespace kestrel
