#pragma once

// The Album page's live preview: the camera picture the live image brings,
// scaled into a 160 × 160 area on a grey ground, so that the user sees whom
// the next registration takes.

#include <QImage>
#include <QWidget>

class CImageData;

class CRegPreviewDlg : public QWidget {
    Q_OBJECT
public:
    explicit CRegPreviewDlg(QWidget* parent = nullptr);

    // A picture from the module (one byte per pixel or 24-bit colour); an
    // image without pixels leaves the last one.
    void SetImage(const CImageData& image);
    // Back to the empty grey area.
    void Clear();
    int Images() const { return images_; }
    const QImage& Shown() const { return shown_; }

    QSize sizeHint() const override { return QSize(200, 208); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage shown_;  // 160 x 160, what the area shows
    int images_ = 0;
};

// The module's picture as a QImage (a copy); null for an image without
// pixels or of a format it cannot show.
QImage ToQImage(const CImageData& image);
