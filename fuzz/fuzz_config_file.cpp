// Feeds arbitrary bytes to the configuration reader as an instance's ".ini" file. Reading must
// end with settings (defaults where the file says nothing usable), and what was read must survive
// the editor's save: written and read again, every setting and table reads the same.

#include "config/ConfigFile.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

namespace {

// The settings library keeps what it read of a file by its path, so every input gets new names.
QString nextPath(const QTemporaryDir &dir, const char *kind)
{
    static quint64 count = 0;
    return dir.filePath(QStringLiteral("%1-%2.ini").arg(QLatin1String(kind)).arg(++count));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static QTemporaryDir dir;
    const QString path = nextPath(dir, "input");
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(reinterpret_cast<const char *>(data), qint64(size)) != qint64(size))
            std::abort();
    }
    ConfigFile::read(path, ConfigFile::Rows::EnabledOnly);
    const Configuration all = ConfigFile::read(path, ConfigFile::Rows::All);
    const QString saved = nextPath(dir, "saved");
    ConfigFile::write(saved, all, all.mail.oAuthClientSecret);
    const Configuration again = ConfigFile::read(saved, ConfigFile::Rows::All);
    if (ConfigFile::describe(again) != ConfigFile::describe(all) || again.mail.oAuthClientSecret != all.mail.oAuthClientSecret)
        std::abort();
    QFile::remove(path);
    QFile::remove(saved);
    return 0;
}
