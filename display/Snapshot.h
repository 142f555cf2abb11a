#pragma once

#include <QImage>
#include <cstdint>
#include <string>

#include "display/OverlayLabels.h"
#include "protocol/ResultRecords.h"

class CImageData;
class CKytoResultDC;

// Side of the square panel surface and the 4:3 band of it the panel shows.
inline constexpr int kPanelSurfaceSide = 320;
inline constexpr int kPanelBandHeight = 240;
// Full image width assumed when the module cannot report it.
inline constexpr int kDefaultFullImageWidth = 640;

// Paints one frame the way the image panel does: grey background, the image
// fitted and centred (or nothing, with the overlay placed as over a 320 × 240
// picture), then the overlay with scale = larger image side (320 without an
// image) / full image width. `image` may be null; it counts as present when
// its ImageWidth/ImageHeight (the size the frame carried) are set and its
// buffer holds them, in the grey or the 24-bit colour format. A non-positive
// full image width is taken as 640. Without an image, `noImage` (when given)
// is drawn centred under the overlay. False when the surface is not created.
bool RenderFrame(CKytoResultDC& dc, const CImageData* image, const CFrameResult& result,
                 const std::uint8_t flags[11], int fullImageWidth, const QImage* noImage = nullptr);

// The middle 320 × 240 band of a rendered 320 × 320 surface, as the panel
// shows it.
QImage PanelBand(const CKytoResultDC& dc);

// Renders one frame on a fresh 320 × 320 surface (look read from
// "./Debug.ini") and writes the middle band as a PNG file, replaced
// atomically. Needs a QGuiApplication (see EnsureGuiApplication); false when
// there is none or the file could not be written.
bool SaveSnapshotPng(const std::string& path, const CImageData* image, const CFrameResult& result,
                     const std::uint8_t flags[11], int fullImageWidth,
                     const UserNameLookup& names = {});

// For command-line programs: creates a QGuiApplication (offscreen platform
// unless QT_QPA_PLATFORM says otherwise) when the process has no Qt
// application object yet. Call once from main() before the first snapshot.
void EnsureGuiApplication();

// "DIR/frame-000001.png" for frame 1 and so on.
std::string SnapshotFileName(const std::string& folder, int frameNumber);
