#include "fonts/FontDatabaseCalls.h"

#include <QFontDatabase>

#include <mutex>

namespace zelvane::fonts::fontDatabase {

namespace {

std::mutex& lock()
{
    static std::mutex mutex;
    return mutex;
}

}  // namespace

QStringList families()
{
    const std::lock_guard<std::mutex> held(lock());
    return QFontDatabase::families();
}

QStringList styles(const QString& family)
{
    const std::lock_guard<std::mutex> held(lock());
    return QFontDatabase::styles(family);
}

int weight(const QString& family, const QString& style)
{
    const std::lock_guard<std::mutex> held(lock());
    return QFontDatabase::weight(family, style);
}

bool italic(const QString& family, const QString& style)
{
    const std::lock_guard<std::mutex> held(lock());
    return QFontDatabase::italic(family, style);
}

int addApplicationFontFromData(const QByteArray& bytes)
{
    const std::lock_guard<std::mutex> held(lock());
    return QFontDatabase::addApplicationFontFromData(bytes);
}

int addApplicationFont(const QString& path)
{
    const std::lock_guard<std::mutex> held(lock());
    return QFontDatabase::addApplicationFont(path);
}

QStringList applicationFontFamilies(int id)
{
    const std::lock_guard<std::mutex> held(lock());
    return QFontDatabase::applicationFontFamilies(id);
}

}  // namespace zelvane::fonts::fontDatabase
