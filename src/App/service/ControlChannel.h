#pragma once
// The control channel of a running instance: a local socket that only its user can reach, named
// after the application name, the user and the project folder, so that quillon-ctl finds the
// instance that "quillon [instance] -p PROJECT" started. One request line, one answer, then the
// instance closes the connection.
//
// Request: the command and its words, "status" or "status json", ending with a line feed.
// Answer: "OK" or "ERROR" on the first line, the text after it.

#include <QString>

namespace ControlChannel {

constexpr int MaxRequestBytes = 256;      // a longer request is refused
constexpr int RequestTimeoutMs = 5000;    // a client that sends no full line by then is dropped
constexpr int MaxClients = 8;             // connections served at once; more are refused
constexpr int MaxAnswerBytes = 1 << 20;   // the client reads no more than this
constexpr int AnswerTimeoutMs = 30000;    // the client waits no longer for the answer

// The project folder as both sides name it: absolute, symbolic links resolved where it exists.
QString projectKey(const QString &projectPath);

// The local socket's name (a file in the temporary folder) for an instance and project.
QString socketName(const QString &applicationName, const QString &projectPath);

} // namespace ControlChannel
