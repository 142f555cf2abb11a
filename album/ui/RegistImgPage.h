#pragma once

// The Album page's picture strip: the face pictures of the selected user in
// entry order, 64 × 64 each in ten cells, one of them selectable, with
// Delete (the selected picture) and Delete All (every picture; the user
// stays). Like the rest of the page it only shows and forwards.

#include <QImage>
#include <QWidget>
#include <vector>

class CStateBmpButton;
class QScrollArea;

// One picture of the strip: its data number and the picture itself.
struct StripPicture {
    int dataNumber = -1;
    QImage picture;
};

class CRegistImgPage : public QWidget {
    Q_OBJECT
public:
    static constexpr int kCells = 10;
    static constexpr int kCellSize = 64;
    static constexpr int kCellPitch = 72;
    static constexpr int kSurfaceWidth = kCells * kCellPitch + 8;  // 728
    static constexpr int kSurfaceHeight = 112;
    // Values of DeleteRequested.
    enum DeleteRequest { kDelete = 0, kDeleteAll = 1 };

    explicit CRegistImgPage(QWidget* parent = nullptr);

    // The pictures of one user (at most ten are shown); nothing selected.
    void SetPictures(std::vector<StripPicture> pictures);
    // No pictures (no user, or several selected).
    void Reset();
    int Count() const { return static_cast<int>(pictures_.size()); }
    // -1 or the selected cell.
    int SelectedCell() const { return selected_; }
    void SelectCell(int cell);
    // The data number of the selected picture, -1 when none is selected.
    int SelectedDataNumber() const;
    // The cell at x on the surface, -1 between or beyond the pictures.
    static int CellAt(int x, int count);

    QWidget* Surface() const { return surface_; }

signals:
    void DeleteRequested(int request);  // DeleteRequest

private:
    friend class CStripSurface;
    void UpdateButtons();

    QWidget* surface_ = nullptr;
    QScrollArea* scroll_ = nullptr;         // with the strip's scroll bar (1002)
    CStateBmpButton* delete_ = nullptr;     // 1044
    CStateBmpButton* deleteAll_ = nullptr;  // 1045
    std::vector<StripPicture> pictures_;
    int selected_ = -1;
};
