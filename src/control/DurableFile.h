#pragma once

#include <QString>

namespace zelvane {

// Writes a file in one step through a temporary file in the same folder.
// Every write is checked as it is made (nothing is buffered), the data is
// flushed to the disk (fsync) before the temporary file is renamed over the
// destination, and the folder after it. Until commit() succeeds the
// destination is untouched; a writer that is destroyed uncommitted removes
// its temporary file. The temporary file (".NAME.zelvane-TOKEN.tmp") is locked while
// it is written; opening a writer removes those of the folder that no live
// writer holds (left by a killed process). A destination that is a symbolic link is written
// through to the file it names; an existing file keeps its permissions, a new
// one gets 0666 less the umask.
class DurableFile {
public:
    explicit DurableFile(QString path);
    ~DurableFile();
    DurableFile(const DurableFile&) = delete;
    DurableFile& operator=(const DurableFile&) = delete;

    // Each returns false on failure, with error() holding the errno value.
    bool open();
    bool write(const char* bytes, qint64 count);
    bool commit();
    void cancel();

    int error() const { return m_error; }

private:
    bool failWith(int error);

    QString m_path;
    QByteArray m_target;
    QByteArray m_temporary;
    int m_fd = -1;
    int m_error = 0;
};

}  // namespace zelvane
