// widgets_gallery OUTDIR: renders each shared control and dialog offscreen to
// OUTDIR/<name>@1x.png and @2x.png, for a look at the faces and layouts at
// both scales. Exits 1 when a picture cannot be written.
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QGridLayout>
#include <QLabel>
#include <QTextStream>
#include <functional>
#include <memory>
#include <vector>

#include "widgets/ButtonFaces.h"
#include "widgets/NotesDlg.h"
#include "widgets/OrgComboBox.h"
#include "widgets/OrgListCtrl.h"
#include "widgets/OrgRichEdit.h"
#include "widgets/ProgressDlg.h"
#include "widgets/RangeEdit.h"
#include "widgets/StateBmpButton.h"
#include "widgets/WaitDlg.h"

namespace {

struct Shot {
    QString name;
    std::function<std::unique_ptr<QWidget>()> make;
};

CStateBmpButton* FaceButton(QWidget* parent, FaceId id, const QString& caption, QSize size) {
    auto* button = new CStateBmpButton(caption, parent);
    button->SetFace(ButtonFace(id));
    button->SetColumnCount(ButtonFace(id).Columns());
    button->SetTransparentColor(0xFF00FF);
    button->setFixedSize(size);
    return button;
}

// Every face in its three states (and both columns of the tab face).
std::unique_ptr<QWidget> FacesSheet() {
    auto sheet = std::make_unique<QWidget>();
    auto* grid = new QGridLayout(sheet.get());
    struct Row {
        FaceId id;
        QString caption;
        QSize size;
        bool checkable;
    };
    const Row rows[] = {
        {FaceId::kPushButton, "OK", {88, 24}, false},
        {FaceId::kFunctionToggle, "Recognition", {96, 24}, true},
        {FaceId::kPanelToggle, "Human Body", {96, 24}, true},
        {FaceId::kTab, "Main", {112, 30}, false},
        {FaceId::kExecuteOnce, "", {40, 40}, false},
        {FaceId::kExecuteContinuously, "", {40, 40}, true},
        {FaceId::kSettings, "", {40, 40}, false},
        {FaceId::kFullScreen, "", {40, 40}, false},
    };
    int r = 0;
    for (const Row& row : rows) {
        grid->addWidget(new QLabel(QString::number(int(row.id)), sheet.get()), r, 0);
        for (int state = 0; state < 4; ++state) {
            CStateBmpButton* b = FaceButton(sheet.get(), row.id, row.caption, row.size);
            b->setCheckable(row.checkable);
            if (state == 1) {
                b->setDown(true);
            } else if (state == 2) {
                b->setEnabled(false);
            } else if (state == 3) {
                if (row.id == FaceId::kTab) {
                    b->SetColumn(1);
                } else if (row.checkable) {
                    b->setChecked(true);
                } else {
                    b->setFocus();
                }
            }
            grid->addWidget(b, r, state + 1);
        }
        ++r;
    }
    return sheet;
}

std::unique_ptr<QWidget> WaitDialog() {
    auto dialog = std::make_unique<CWaitDlg>();
    dialog->SetTextId(CWaitDlg::kTerminating);
    return dialog;
}

std::unique_ptr<QWidget> NoticeDialog() {
    auto dialog = std::make_unique<CNotesDlg>();
    dialog->SetText(
        "The module keeps its Album in flash memory. Do not turn it off while the Album is "
        "written.");
    dialog->AcknowledgeBox()->setChecked(true);
    return dialog;
}

std::unique_ptr<QWidget> LogBox() {
    auto edit = std::make_unique<COrgRichEdit>();
    QTextCharFormat bold;
    bold.setFontWeight(QFont::Bold);
    bold.setFontFamilies({"Courier New", "monospace"});
    edit->SetDefaultFormat(bold);
    edit->InsertText(
        "Execute Body:On Hand:Off Face:On\nResult  Response time:52ms  Return code:00\n"
        "\t Face count:1\n\t    Index:0    \tX:160 Y:120 Size:80 Confidence:700\n");
    edit->resize(420, 120);
    return edit;
}

std::unique_ptr<QWidget> Combo() {
    auto combo = std::make_unique<COrgComboBox>();
    combo->AddItem("320x240", 1);
    combo->AddItem("160x120", 2);
    combo->AddItem("No image", 0);
    combo->SelectByData(2);
    combo->resize(140, combo->sizeHint().height());
    return combo;
}

std::unique_ptr<QWidget> UserList() {
    auto list = std::make_unique<COrgListCtrl>();
    list->InsertColumn(0, "ID", 56);
    list->InsertColumn(1, "Result", 80);
    list->InsertColumn(2, "Name", 208);
    const char* rows[][3] = {{"0", "OK", "Ann"},
                             {"1", "NG", "Bob"},
                             {"2", "--", "Chie"},
                             {"3", "NG", "selected"},
                             {"4", "OK", "Eve"}};
    for (const auto& row : rows) {
        list->AddRow({row[0], row[1], row[2]}, 0);
    }
    list->SelectRow(3);
    list->resize(360, 130);
    return list;
}

std::unique_ptr<QWidget> NumberBoxes() {
    auto box = std::make_unique<QWidget>();
    auto* grid = new QGridLayout(box.get());
    const struct {
        const char* label;
        int min, max, value;
    } rows[] = {{"Face size min", 20, 8192, 64}, {"Yaw angle", -90, 90, -45}};
    int r = 0;
    for (const auto& row : rows) {
        auto* label = new QLabel(row.label, box.get());
        auto* edit = new CRangeEdit(box.get());
        edit->SetRange(row.min, row.max);
        edit->SetInt(row.value);
        edit->setFixedWidth(80);
        label->setBuddy(edit);
        grid->addWidget(label, r, 0);
        grid->addWidget(edit, r, 1);
        ++r;
    }
    return box;
}

std::unique_ptr<QWidget> ProgressDialog() {
    auto dialog = std::make_unique<CProgressDlg>();
    dialog->SetText(CProgressDlg::kSaving, "KytoAlbum.kyl");
    dialog->SetProgress(57.9);
    return dialog;
}

bool Save(QWidget& widget, const QString& path, qreal scale) {
    widget.ensurePolished();
    if (widget.layout()) {
        widget.layout()->activate();
    }
    if (widget.size().isEmpty() || widget.size() == QSize(640, 480)) {
        widget.adjustSize();
    }
    QImage image(widget.size() * scale, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(scale);
    image.fill(widget.palette().color(QPalette::Window));
    widget.render(&image);
    return image.save(path);
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 2) {
        QTextStream(stderr) << "usage: widgets_gallery OUTDIR\n";
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    QDir().mkpath(out.path());
    const std::vector<Shot> shots = {
        {"faces", FacesSheet},    {"wait", WaitDialog},
        {"notice", NoticeDialog}, {"log", LogBox},
        {"combo", Combo},         {"list", UserList},
        {"numbers", NumberBoxes}, {"progress", ProgressDialog},
    };
    int failures = 0;
    for (const Shot& shot : shots) {
        std::unique_ptr<QWidget> widget = shot.make();
        widget->setAttribute(Qt::WA_DontShowOnScreen);
        widget->show();
        for (qreal scale : {1.0, 2.0}) {
            const QString path =
                out.filePath(QStringLiteral("%1@%2x.png").arg(shot.name).arg(int(scale)));
            if (!Save(*widget, path, scale)) {
                QTextStream(stderr) << "cannot write " << path << "\n";
                ++failures;
            }
        }
    }
    return failures == 0 ? 0 : 1;
}
