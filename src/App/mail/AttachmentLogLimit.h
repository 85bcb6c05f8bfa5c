#pragma once
// The log lines of one mail's attachment problems: at most MaxLinesPerKind lines of one kind, then,
// at the end of the mail, one line with the number left out, so a mail with thousands of broken
// attachments writes a bounded log. The intake and the offline tools share it through the part walk.

#include <QString>

#include <array>

class AttachmentLogLimit
{
public:
    static constexpr int MaxLinesPerKind = 20;

    enum class Kind {
        Gunzip,          // damaged gzip data
        GunzipTrailing,  // data after the last gzip member
        Codec,           // no codec for the declared character set
        UtfCodec,        // no codec after the byte-order mark test
        Parse,           // the parser refused the attachment
        Multipart,       // a nested multipart that does not decode, or one nested too deep
    };

    // Counts one problem of the kind; true while its lines are still written.
    bool allows(Kind kind);
    // One line per kind with lines left out: mail line + " - N more lines of '<kind>' not logged".
    void logLeftOut(const QString &mailLine) const;

private:
    static constexpr int KindCount = int(Kind::Multipart) + 1;
    std::array<qint64, KindCount> m_counts{};
};
