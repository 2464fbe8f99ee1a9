#include "widgets/PictureFile.h"

#include "common/AtomicFile.h"

#include <QBuffer>
#include <QByteArray>

namespace lumex {

bool SavePngFile(const QPixmap &picture, const std::string &path)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::WriteOnly) || !picture.save(&buffer, "PNG"))
        return false;
    try {
        WriteFileAtomically(path, std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    } catch (const EFileWriteError &) {
        return false;
    }
    return true;
}

} // namespace lumex
