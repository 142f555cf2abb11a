#include "display/Snapshot.h"

#include <QBuffer>
#include <QByteArray>
#include <QGuiApplication>
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "base/AtomicFile.h"
#include "base/ImageData.h"
#include "base/ImgConv.h"
#include "display/KytoResultDC.h"

namespace {

const QColor kPanelGrey(128, 128, 128);

// The frame image as 24-bit colour, or null when the frame has none.
const CImageData* ColourImage(const CImageData* image, CImageData& converted) {
    if (image == nullptr) {
        return nullptr;
    }
    const int w = image->ImageWidth();
    const int h = image->ImageHeight();
    if (w <= 0 || h <= 0 || w > image->Width() || h > image->Height()) {
        return nullptr;
    }
    if (image->Format() == kFormatRgb24 && w == image->Width() && h == image->Height()) {
        return image;
    }
    converted.Init(w, h, kFormatRgb24, true);
    IMGCONVINFO out = converted.Info();
    if (CImgConv(w, h, image->Format(), kFormatRgb24).Convert(image->Info(), &out, false) != 0) {
        return nullptr;
    }
    return &converted;
}

}  // namespace

bool RenderFrame(CKytoResultDC& dc, const CImageData* image, const CFrameResult& result,
                 const std::uint8_t flags[11], int fullImageWidth, const QImage* noImage) {
    if (!dc.IsCreated()) {
        return false;
    }
    if (fullImageWidth <= 0) {
        fullImageWidth = kDefaultFullImageWidth;
    }
    dc.Fill(kPanelGrey);
    CImageData converted;
    const CImageData* colour = ColourImage(image, converted);
    double scale;
    if (colour != nullptr && dc.DrawImage(*colour) == 1) {
        scale = static_cast<double>(std::max(colour->Width(), colour->Height())) / fullImageWidth;
    } else {
        // No picture: lay the overlay out as over a 320 × 240 image, so it
        // sits in the band the panel shows.
        if (noImage != nullptr && !noImage->isNull()) {
            dc.DrawBitmap(*noImage);
        }
        dc.SetFit(kPanelSurfaceSide, kPanelSurfaceSide * 3 / 4);
        scale = static_cast<double>(kPanelSurfaceSide) / fullImageWidth;
    }
    dc.DrawResults(flags, scale, result);
    return true;
}

QImage PanelBand(const CKytoResultDC& dc) {
    const QImage& surface = dc.Surface();
    const int top = (surface.height() - kPanelBandHeight) / 2;
    return surface.copy(0, top, surface.width(), kPanelBandHeight);
}

bool SaveSnapshotPng(const std::string& path, const CImageData* image, const CFrameResult& result,
                     const std::uint8_t flags[11], int fullImageWidth,
                     const UserNameLookup& names) {
    if (QGuiApplication::instance() == nullptr || flags == nullptr) {
        return false;
    }
    CKytoResultDC dc;
    if (dc.Create(kPanelSurfaceSide, kPanelSurfaceSide) != 1) {
        return false;
    }
    dc.SetUserNameLookup(names);
    if (!RenderFrame(dc, image, result, flags, fullImageWidth)) {
        return false;
    }
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!PanelBand(dc).save(&buffer, "PNG")) {
        return false;
    }
    return WriteFileAtomically(path, png.constData(), static_cast<std::size_t>(png.size())) == 0;
}

void EnsureGuiApplication() {
    if (QCoreApplication::instance() != nullptr) {
        return;
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static int argc = 1;
    static char name[] = "kyto";
    static char* argv[] = {name, nullptr};
    // Left alive until the process ends: tearing a Qt application down among
    // the static destructors is not safe.
    static QGuiApplication* app = new QGuiApplication(argc, argv);
    (void)app;
}

std::string SnapshotFileName(const std::string& folder, int frameNumber) {
    char name[32];
    std::snprintf(name, sizeof name, "frame-%06d.png", frameNumber);
    return folder.empty() ? std::string(name) : folder + "/" + name;
}
