// Draws the program's desktop icons, the same picture as its window icon: a scalable SVG and
// PNG files of the sizes the desktop's icon theme asks for.
//   make_icons <output folder>
// writes groovane.svg and groovane-48.png, groovane-128.png, groovane-256.png there.
#include "app/artwork.h"
#include "platform/files.h"

#include <QBuffer>
#include <QImage>

#include <cstdio>
#include <exception>
#include <filesystem>
#include <stdexcept>
#include <string>

namespace {

std::string pngOfSize(int size)
{
    const QImage image = groovane::drawProgramIcon(size);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG"))
        throw std::runtime_error("cannot encode a PNG picture");
    return png.toStdString();
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_icons <output folder>\n");
        return 1;
    }
    try {
        const std::filesystem::path folder = argv[1];
        std::filesystem::create_directories(folder);
        groovane::writeFileBytesAtomic((folder / "groovane.svg").string(),
                                       groovane::padLogoSvg(groovane::kIconDesignSize, groovane::kIconDesignSize));
        for (int size : {48, 128, 256})
            groovane::writeFileBytesAtomic((folder / ("groovane-" + std::to_string(size) + ".png")).string(),
                                           pngOfSize(size));
    } catch (const std::exception& error) {
        std::fprintf(stderr, "make_icons: %s\n", error.what());
        return 1;
    }
    return 0;
}
