#pragma once

#include <QImage>
#include <QPainter>
#include <memory>

class CImageData;

// A memory drawing surface that knows how an image is fitted into it and how
// module coordinates map onto it: surface = offset + floor(value × fit scale ×
// overlay scale). Lines are drawn without antialiasing so every pixel lands
// exactly where the mapping says.
class CResultDC {
public:
    CResultDC() = default;
    virtual ~CResultDC();
    CResultDC(const CResultDC&) = delete;
    CResultDC& operator=(const CResultDC&) = delete;

    // Makes a surface of width × height, filled black. 1 on success, 0 for a
    // non-positive size.
    virtual int Create(int width, int height);
    virtual void Release();
    bool IsCreated() const { return !surface_.isNull(); }

    // Fits a 24-bit colour image (B G R bytes, rows as its row bytes say)
    // into the surface keeping its aspect ratio and centred, sets the fit
    // scale and offsets accordingly and copies it there (nearest pixel).
    // 1 on success; 0 when there is no surface or the image is not 24-bit
    // colour with a buffer that holds it (the surface is then untouched).
    virtual int DrawImage(const CImageData& image);
    // Draws a bitmap 1:1 centred on the surface (the picture shown when a
    // frame has no image); the fit is left alone.
    virtual void DrawBitmap(const QImage& bitmap);
    // Fit of an image of this size: scale = the smaller of surface side /
    // image side over both axes (the larger image side decides on a square
    // surface), centred. A non-positive size resets to scale 1 at (0, 0).
    void SetFit(int imageWidth, int imageHeight);

    // Closed five-point polyline through the mapped corners with the current pen.
    virtual void DrawRect(int left, int top, int right, int bottom, double scale);

    void Fill(const QColor& colour);

    double FitScale() const { return fitScale_; }
    int XOffset() const { return xOffset_; }
    int YOffset() const { return yOffset_; }
    int SurfaceWidth() const { return surface_.width(); }
    int SurfaceHeight() const { return surface_.height(); }
    const QImage& Surface() const { return surface_; }

    // Module value → surface coordinate, and a mapped length (no offset).
    int MapX(int value, double scale) const;
    int MapY(int value, double scale) const;
    int MapLength(int value, double scale) const;

protected:
    // Painting on the surface is bracketed so that one long drawing (a whole
    // frame) keeps one painter open while single calls open their own.
    class PaintScope {
    public:
        explicit PaintScope(CResultDC& dc);
        ~PaintScope();
        PaintScope(const PaintScope&) = delete;
        PaintScope& operator=(const PaintScope&) = delete;
        QPainter& operator*() const { return *dc_.painter_; }
        QPainter* operator->() const { return dc_.painter_.get(); }

    private:
        CResultDC& dc_;
    };

    void SetPen(const QPen& pen);

    QImage surface_;

private:
    std::unique_ptr<QPainter> painter_;
    int paintDepth_ = 0;
    QPen pen_;
    double fitScale_ = 1.0;
    int xOffset_ = 0;
    int yOffset_ = 0;
};
