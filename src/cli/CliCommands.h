#pragma once
#include "cli/CliOptions.h"
#include <QByteArray>
#include <QList>
#include <QString>
#include <functional>

class CliSession;
class ProgressReporter;
class StderrMessageSink;
class ConfigImage;

// What each command of tarviks-cli does with a session, and the exit status it ends with.
class CliCommands {
public:
    using Writer = std::function<void(const QString &text)>;

    // A difference found by --verify between what was written and what the unit returned.
    struct Mismatch {
        int count = 0;        // positions that differ
        int first = 0;        // first of them, 1-based; 0 when none
        int unitByte = -1;    // the unit's byte there (-1: no data)
        int fileByte = -1;
    };
    // Compares image cells 1..blocks*64 with the file's blocks.
    static Mismatch compare(const ConfigImage &image, const QList<QByteArray> &blocks);
    static QString mismatchText(const Mismatch &mismatch, int total);

    CliCommands(CliSession &session, const CliOptions &options, ProgressReporter &progress, Writer out,
                Writer err);
    int run();

private:
    int find();
    int readConfig();
    int writeConfig();
    int notAvailable();

    // Identifies a unit on the candidate ports; NoUnit (with the reason on stderr) when none answers.
    int connectUnit();
    void say(const QString &text);   // informational, silenced by --quiet
    void fail(const QString &text);  // always shown

    CliSession &m_session;
    const CliOptions &m_options;
    ProgressReporter &m_progress;
    Writer m_out;
    Writer m_err;
};
