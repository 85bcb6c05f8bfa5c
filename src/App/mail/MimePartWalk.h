#pragma once
// The walk over the parts of one decoded mail, the same for the mail intake and for the offline
// tools reading saved mails: parts in index order, nested multiparts decoded and walked one level
// deeper (at most MailLimits::MaxMimeDepth levels), signature and envelope parts and parts without
// a name skipped, every other part read as a data-file attachment through DataFileReader (gunzip by
// name, character set, parsing), with the warnings of that road logged after the mail line. Of one
// kind of problem a mail logs at most AttachmentLogLimit::MaxLinesPerKind lines, then the count.
//
// What a failure reads like and where the records go differ between the callers, so the walk hands
// them to a Visitor: the intake fails the mail with its result text and hands the values to the
// DMS handler, the tools log in their own words and collect the records of the file.

#include "mail/AttachmentLogLimit.h"
#include "parsing/DataFileReader.h"

#include <QString>

class MIME;

class MimePartWalk
{
public:
    enum class Failure {
        NestedTooDeep,        // a multipart below the deepest level walked (error: the bound's text)
        MultipartNotDecoded,  // a nested multipart, other than "multipart/related", that does not decode
    };

    class Visitor
    {
    public:
        virtual ~Visitor() = default;
        // Each part as it is reached, before anything is done with it.
        virtual void part(const MIME &mime, int level, int index) { Q_UNUSED(mime) Q_UNUSED(level) Q_UNUSED(index) }
        // The part fails the mail; the walk goes on with the next part. log: false once the mail has
        // logged its share of this kind of failure (the walk logs the count at its end).
        virtual void failed(Failure failure, const QString &error, bool log) = 0;
        // Where the records of the attachment about to be read go: a sink that holds them, or one
        // that hands them on in batches as the parser goes.
        virtual RecordSink &attachmentSink(const QString &name) = 0;
        // The attachment was read (parsed or not: read.parsed, read.errorText), after its last
        // records reached the sink. log: whether a refusal is logged, as for failed.
        virtual void attachment(const QString &name, DataFileResult &read, bool log) = 0;
    };

    MimePartWalk(const QString &mailLine, Visitor &visitor);

    // Walks the parts of the decoded mail from level 0, then logs the lines left out.
    void walk(const MIME &mime);

    bool attachmentFound() const { return m_attachmentFound; }
    // Time spent reading and parsing attachments, in nanoseconds.
    qint64 readNs() const { return m_readNs; }

private:
    void walkLevel(const MIME &mime, int level);
    void walkNested(const MIME &mime, int index, int level);
    void readAttachment(const MIME &mime, int index, const QString &name);
    void logRoadWarnings(const QString &name, const DataFileResult &read);

    const QString m_mailLine;
    Visitor &m_visitor;
    AttachmentLogLimit m_logLimit;
    bool m_attachmentFound = false;
    qint64 m_readNs = 0;
};
