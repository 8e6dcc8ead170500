#pragma once

// Exit statuses of tarviks-cli; scripts tell the failures apart by them.
namespace ExitCode {
constexpr int Success = 0;
constexpr int Differ = 1;           // diff: the two configurations differ
constexpr int Usage = 2;            // bad arguments; the usage text says why
constexpr int NoUnit = 3;           // no unit answered on the ports tried
constexpr int BadFile = 4;          // the file is unreadable, malformed, or cannot be created
constexpr int TransferFailed = 5;   // the unit stopped answering, the line went, or a count was wrong
constexpr int VerifyMismatch = 6;   // written, but the unit holds something else
// The unit's work succeeded, but a file beside it (the backup copy, the trace) could not be written.
constexpr int SideFileFailed = 7;
constexpr int Interrupted = 130;    // Ctrl+C, as shells report it
}
