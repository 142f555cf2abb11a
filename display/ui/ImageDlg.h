#pragma once

// The image panel: the newest camera image with the result overlay, fitted
// into a 320 × 320 surface whose middle 4:3 band fills the panel, and the
// eleven toggle buttons that choose which results are drawn. The panel keeps
// the packet it was given (packets are immutable and shared), converts its
// image once and repaints the surface only when the frame or a toggle changed.

#include <QAbstractButton>
#include <QImage>
#include <QWidget>
#include <array>
#include <cstdint>

#include "app/FramePacket.h"
#include "base/ImageData.h"
#include "display/KytoResultDC.h"
#include "display/OverlayLabels.h"

class CImageDlg : public QWidget {
    Q_OBJECT

public:
    static constexpr int kToggleCount = 11;

    explicit CImageDlg(QWidget* parent = nullptr);
    ~CImageDlg() override;

    // Window thread. Shows the frame: the image (when the exchange succeeded
    // and carried one), the results, and the toggle buttons of the functions
    // the frame requested enabled, the others disabled. Null shows nothing.
    void SetFrame(const FramePacketPtr& packet);
    FramePacketPtr Frame() const { return packet_; }

    // Width of the module's full image (Get Full Image Size); the overlay
    // scale is the image's larger side divided by it. Non-positive: 640.
    void SetFullImageWidth(int width);
    int FullImageWidth() const { return fullImageWidth_; }

    // Names for the recognition labels.
    void SetUserNameLookup(UserNameLookup names);

    // Function i (body ... verify) is drawn while its button is on and enabled.
    bool DisplayFlag(int index) const;
    QAbstractButton* ToggleButton(int index) const;

    // The surface as last rendered (320 × 320), rendering first if needed.
    const QImage& Surface();
    // Where the surface lands in the panel for a client of this size.
    static QRect TargetRect(const QSize& client);

    // The height the panel would like (its width follows at 4:3); the page
    // makes it as tall as the execute page beside it.
    void SetPreferredHeight(int height);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    // A key was pressed or the window was closed while the panel is a
    // window of its own (full screen): the page takes it back.
    void LeaveFullScreenRequested();
    // After each paint that drew a fresh frame (for measurements).
    void FramePainted(std::uint64_t sequence);

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void Render();
    void OnToggle();

    CKytoResultDC surface_;
    QImage noImage_;
    CImageData image_;  // the frame's image in 24-bit colour
    bool hasImage_ = false;
    FramePacketPtr packet_;
    int fullImageWidth_ = 640;
    int preferredHeight_ = 240;
    bool dirty_ = true;
    bool paintedFresh_ = false;
    std::array<QAbstractButton*, kToggleCount> toggles_{};
};
