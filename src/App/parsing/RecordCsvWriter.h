#pragma once
// Value records as CSV lines (quillon-parse's output): time stamp in ISO 8601 with its offset,
// identifier, format name, value ('g', 15 digits), unit, state, increment, OBIS, description,
// serial number; texts quoted when they hold a comma, a quote or a line break (RFC 4180).
// Lines are formatted straight into one buffer (numbers with std::to_chars, ASCII texts copied
// as they are) and the buffer goes to the file descriptor when it is full, so writing keeps up
// with parsing.

#include "parsing/ValueRec.h"

#include <QByteArray>

class RecordCsvWriter
{
public:
    explicit RecordCsvWriter(int fd);
    ~RecordCsvWriter();

    static const char *header(); // the column line, with its line break

    void writeHeader();
    void write(const ValueRecTypes::ValueRec &record);
    // Writes out what is buffered; false when the descriptor refused it.
    bool flush();

private:
    void appendTime(const QDateTime &time);
    void appendText(const QString &text);
    void appendNumber(double value);
    void appendInt(qint64 value);

    int m_fd;
    bool m_ok = true;
    QByteArray m_buffer;
};
