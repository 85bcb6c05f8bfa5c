#include "parsing/InputSpool.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <utility>

namespace {

// The temporary folder as QDir::tempPath gives it (TMPDIR, else /tmp); a TMPDIR that does not exist
// gives no path there, so it is named as it is set.
QString spoolFolder()
{
    const QString path = QDir::tempPath();
    return path.isEmpty() ? qEnvironmentVariable("TMPDIR") : path;
}

} // namespace

InputSpool::~InputSpool()
{
    clear();
}

void InputSpool::clear()
{
    unmap();
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_memory.clear();
    m_size = 0;
    m_errorText.clear();
    m_tooLarge = false;
}

void InputSpool::unmap()
{
    if (m_map)
        ::munmap(m_map, size_t(m_size));
    m_map = nullptr;
}

void InputSpool::adopt(const QByteArray &bytes)
{
    clear();
    m_memory = bytes;
    m_size = bytes.size();
}

bool InputSpool::fail(const QString &what)
{
    const int error = errno;
    m_errorText = QStringLiteral("%1 %2: %3").arg(what, spoolFolder(), QString::fromLocal8Bit(std::strerror(error)));
    return false;
}

// Moves what is in memory into an unnamed temporary file: it has no name, so it goes with the
// process on every way out. A file system without unnamed files gets a named one, removed at once.
bool InputSpool::spill()
{
    const QByteArray folder = QFile::encodeName(spoolFolder());
    m_fd = ::open(folder.constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (m_fd < 0 && errno != ENOENT) {
        QByteArray name = folder + "/quillon-spool-XXXXXX";
        m_fd = ::mkostemp(name.data(), O_CLOEXEC);
        if (m_fd >= 0)
            ::unlink(name.constData());
    }
    if (m_fd < 0)
        return fail(QStringLiteral("Could not create a temporary file in"));
    const QByteArray held = std::exchange(m_memory, QByteArray());
    m_size = 0;
    return append(held.constData(), held.size());
}

bool InputSpool::append(const char *data, qint64 size)
{
    if (m_fd < 0 && m_size + size > m_memoryBytes && !spill())
        return false;
    if (m_fd < 0) {
        m_memory.append(data, size);
        m_size += size;
        return true;
    }
    for (qint64 done = 0; done < size;) {
        const ssize_t n = ::write(m_fd, data + done, size_t(size - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return fail(QStringLiteral("Could not write a temporary file in"));
        done += n;
    }
    m_size += size;
    return true;
}

bool InputSpool::appendFrom(QIODevice &device, qint64 maxBytes)
{
    // A file that fits in memory is read there in one go.
    const qint64 expected = device.isSequential() ? 0 : device.size() - device.pos();
    if (m_fd < 0 && expected > 0 && m_size + expected <= m_memoryBytes) {
        m_memory.resize(m_size + expected);
        const qint64 n = device.read(m_memory.data() + m_size, expected);
        m_memory.resize(m_size + std::max<qint64>(n, 0));
        if (n < 0) {
            m_errorText = device.errorString();
            return false;
        }
        m_size += n;
    }
    QByteArray piece(1 << 20, Qt::Uninitialized);
    for (;;) {
        const qint64 n = device.read(piece.data(), piece.size());
        if (n < 0) {
            m_errorText = device.errorString();
            return false;
        }
        if (n == 0)
            return true;
        if (m_size + n > maxBytes) { // a pipe or device has no size to check beforehand
            m_tooLarge = true;
            return false;
        }
        if (!append(piece.constData(), n))
            return false;
    }
}

bool InputSpool::finish()
{
    if (m_fd < 0 || m_map || m_size == 0)
        return true;
    void *map = ::mmap(nullptr, size_t(m_size), PROT_READ, MAP_PRIVATE, m_fd, 0);
    if (map == MAP_FAILED)
        return fail(QStringLiteral("Could not map a temporary file in"));
    ::madvise(map, size_t(m_size), MADV_SEQUENTIAL);
    m_map = map;
    return true;
}

QByteArray InputSpool::bytes() const
{
    if (m_map)
        return QByteArray::fromRawData(static_cast<const char *>(m_map), m_size);
    return m_memory;
}

void InputSpool::releaseParsedPages() const
{
    if (m_map)
        ::madvise(m_map, size_t(m_size), MADV_DONTNEED);
}

namespace {
thread_local const InputSpool *t_parsedSpool = nullptr;
} // namespace

ParsedSpoolScope::ParsedSpoolScope(const InputSpool &spool) : m_previous(std::exchange(t_parsedSpool, &spool))
{
}

ParsedSpoolScope::~ParsedSpoolScope()
{
    t_parsedSpool = m_previous;
}

void ParsedPages::release()
{
    if (t_parsedSpool)
        t_parsedSpool->releaseParsedPages();
}
