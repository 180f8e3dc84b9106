#pragma once

// Qt's font database, asked by this program through one lock of its own.
//
// Qt guards the database with a lock of its own and fills it lazily, again
// after every font registered, on whichever thread asks first. Its lock
// waits on futexes the thread sanitizer does not see, so what one thread's
// question made Qt write was reported as read unguarded by the next
// thread's. Each of these calls holds Qt's lock for its whole length
// anyway: holding ours around them costs no waiting Qt's did not, and lets
// the sanitizer see the order. Nothing else is done under this lock.

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace zelvane::fonts::fontDatabase {

QStringList families();
QStringList styles(const QString& family);
int weight(const QString& family, const QString& style);
bool italic(const QString& family, const QString& style);

// As QFontDatabase's: the id of the font registered, -1 when refused.
int addApplicationFontFromData(const QByteArray& bytes);
int addApplicationFont(const QString& path);
QStringList applicationFontFamilies(int id);

}  // namespace zelvane::fonts::fontDatabase
