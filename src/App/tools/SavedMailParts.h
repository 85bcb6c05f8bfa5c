#pragma once
// The offline tools' side of the mail-part walk (MimePartWalk, shared with the mail intake) over a
// saved mail: the records of every attachment go to the tool's handler batch by batch, and a
// failing part is logged after the mail line in the tools' words and leaves its result code in the
// file (the intake words the same failures as its mail's result text instead).

#include "mail/MimePartWalk.h"
#include "tools/SourceWalk.h"

class SavedMailParts : public MimePartWalk::Visitor
{
public:
    SavedMailParts(const QString &mailLine, SourceFile &file, SourceHandler &handler);

    void failed(MimePartWalk::Failure failure, const QString &error, bool log) override;
    RecordSink &attachmentSink(const QString &name) override;
    void attachment(const QString &name, DataFileResult &read, bool log) override;

private:
    const QString m_mailLine;
    SourceFile &m_file;
    SourceHandler &m_handler;
    RecordSink m_sink;
};
