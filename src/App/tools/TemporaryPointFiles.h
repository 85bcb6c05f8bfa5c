#pragma once
// The temporary point files (".mitmp") of one import run, one per safe point name in the
// temporary folder: created with the header on the first append, appended to after. The run
// processes exactly the files written here, whatever their names look like (a point "..x" has the
// hidden file "..x.mitmp"), and every file still here is removed when the object goes, so no run
// leaves one behind on any way out. The appends of one source file form a unit that can be taken
// back whole when the file fails after some of its records were written.

#include <QByteArray>
#include <QString>

#include <map>

class TemporaryPointFiles
{
public:
    struct File
    {
        QString path;
        QString pointName; // the name of the first point written (its header's name)
        qint64 records = 0;
        quint64 unit = 0;      // the last unit that appended to it
        qint64 unitStart = 0;  // its records before that unit's first append
    };

    explicit TemporaryPointFiles(QString folder) : m_folder(std::move(folder)) {}
    ~TemporaryPointFiles();
    TemporaryPointFiles(const TemporaryPointFiles &) = delete;
    TemporaryPointFiles &operator=(const TemporaryPointFiles &) = delete;

    // Removes the temporary and history files a previous run left in the folder, hidden ones too.
    void clearFolder() const;
    // Appends 20-byte records to the point's file, as part of the current unit or before it;
    // false (nothing counted) when it cannot be opened or written.
    bool append(const QString &pointName, const QByteArray &records, bool inUnit = false);
    // Starts a unit: the appends marked as part of it can be taken back together.
    void beginUnit() { ++m_unit; }
    // Cuts every file back to what it held before the unit; files the unit created go.
    void takeBackUnit();
    // The files written so far, by safe name.
    const std::map<QString, File> &files() const { return m_files; }
    // Removes every file written and forgets them.
    void removeAll();

private:
    QString m_folder;
    std::map<QString, File> m_files;
    quint64 m_unit = 0;
};
