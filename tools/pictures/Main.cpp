// picturegen: draws the stand-in component photographs into the resource
// folder, and with --seeds a few tiny pictures for the decoder's fuzz corpus.
#include "ComponentDrawings.h"
#include "SchemaDrawing.h"

#include "documents/FileIo.h"
#include "documents/JpegEncode.h"

#include <QGuiApplication>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>

namespace {

using namespace lumex;

int Usage()
{
    std::cerr << "usage: picturegen RESOURCE_FOLDER\n"
                 "       picturegen --seeds FOLDER\n"
                 "Writes every component photograph as __<name>.jpg, the installation schema of each\n"
                 "language as _<code>_schema.jpg and the logo _data.reg, or with --seeds three tiny\n"
                 "pictures (baseline, progressive, grey) that start the decoder's fuzzing.\n";
    return 2;
}

bool Write(const std::filesystem::path &path, const TRgbImage &picture, const TJpegEncodeOptions &options)
{
    auto bytes = EncodeJpeg(picture, options);
    if (!bytes) {
        std::cerr << "picturegen: cannot encode " << path << '\n';
        return false;
    }
    try {
        WriteFileAtomically(path.string(), *bytes);
    } catch (const EFileWriteError &e) {
        std::cerr << "picturegen: " << e.what() << '\n';
        return false;
    }
    return true;
}

bool WritePhotos(const std::filesystem::path &folder)
{
    bool ok = true;
    for (const auto &photo : ComponentPhotos()) {
        const std::string file = "__" + std::string(photo.Picture) + std::string(kComponentPhotoExt);
        ok = Write(folder / file, pictures::ToRgbImage(pictures::DrawComponentPhoto(photo)), {}) && ok;
    }
    return ok;
}

// The installation schema of every shipped language and the about box's
// logo (a JPEG picture under the extension the program looks for).
bool WriteSchemasAndLogo(const std::filesystem::path &folder)
{
    bool ok = true;
    for (const auto &language : pictures::SchemaLanguages()) {
        const std::string file = "_" + std::string(language.Code) + "_schema.jpg";
        ok = Write(folder / file, pictures::ToRgbImage(pictures::DrawSchema(language)), {.Quality = 90}) && ok;
    }
    return Write(folder / "_data.reg", pictures::ToRgbImage(pictures::DrawLogo()), {.Quality = 90}) && ok;
}

// Small enough that a fuzzer mutates the markers, not the pixels.
bool WriteSeeds(const std::filesystem::path &folder)
{
    const QImage photo = pictures::DrawComponentPhoto(ComponentPhotos().front());
    auto tiny = [&](int width, int height) {
        return pictures::ToRgbImage(photo.scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    };
    bool ok = Write(folder / "baseline.jpg", tiny(16, 12), {.Quality = 50});
    ok = Write(folder / "progressive.jpg", tiny(24, 16), {.Quality = 50, .Progressive = true}) && ok;
    ok = Write(folder / "grey.jpg", tiny(8, 8), {.Quality = 50, .Grayscale = true}) && ok;
    return ok;
}

} // namespace

int main(int argc, char **argv)
{
    const bool seeds = argc == 3 && std::string(argv[1]) == "--seeds";
    if (argc != 2 && !seeds)
        return Usage();
    const std::filesystem::path folder = argv[argc - 1];

    // Drawing only; never a window, whatever display the build machine has.
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QGuiApplication app(argc, argv);

    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) {
        std::cerr << "picturegen: cannot create " << folder << ": " << error.message() << '\n';
        return 1;
    }
    return (seeds ? WriteSeeds(folder) : WritePhotos(folder) && WriteSchemasAndLogo(folder)) ? 0 : 1;
}
