// The result text pane: blocks in at the top, the oldest out at the bottom.
#include "app/ui/ResultLogDlg.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QVBoxLayout>

#include "app/FrameLogger.h"
#include "app/ui/WindowMessages.h"
#include "settings/Settings.h"
#include "widgets/OrgRichEdit.h"

namespace {

// Bold "Courier New", the look every block is inserted with; a fixed-pitch
// face stands in where that one is not installed.
QTextCharFormat BlockFormat() {
    QFont font(QStringLiteral("Courier New"));
    font.setStyleHint(QFont::TypeWriter);
    font.setFamilies({QStringLiteral("Courier New"), QStringLiteral("Liberation Mono"),
                      QStringLiteral("DejaVu Sans Mono"), QStringLiteral("monospace")});
    font.setBold(true);
    QTextCharFormat format;
    format.setFont(font);
    return format;
}

}  // namespace

CResultLogDlg::CResultLogDlg(QWidget* parent) : CResultLogDlg(ReadLimitLogBlock(), parent) {}

CResultLogDlg::CResultLogDlg(int blockLimit, QWidget* parent)
    : QWidget(parent), blocks_(blockLimit) {
    setObjectName(QStringLiteral("resultLogPane"));
    text_ = new COrgRichEdit(this);  // control 1055
    text_->setObjectName(QStringLiteral("resultLog"));
    text_->setAccessibleName(tr("Result log"));
    text_->setReadOnly(true);
    text_->setLineWrapMode(QPlainTextEdit::NoWrap);
    text_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    text_->SetDefaultFormat(BlockFormat());
    text_->document()->setDefaultFont(BlockFormat().font());
    // The pane edits its text for ever: an undo history would keep every
    // block that was ever shown.
    text_->setUndoRedoEnabled(false);
    connect(text_, &COrgRichEdit::rightClicked, this, [this](QPoint pos) {
        QObject* target = messageTarget_ != nullptr ? messageTarget_ : this->parent();
        if (target != nullptr) {
            PostWindowMessage(target, UWM_LOG_MENU, this,
                              CWindowMessage::PackPoint(text_->viewport()->mapToGlobal(pos)));
        }
    });

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(text_);
}

CResultLogDlg::~CResultLogDlg() = default;

void CResultLogDlg::AddFrameResult(const FramePacket& packet) {
    if (packet.kind == FrameKind::kLiveImage) {
        return;
    }
    const std::string block = CFrameLogger::BlockOf(packet, names_);
    while (!lengths_.empty() && static_cast<int>(lengths_.size()) >= blocks_.Limit()) {
        DropOldest();
    }
    blocks_.AddBlock(block);
    Insert(block);
}

void CResultLogDlg::AddVersionHeader(const std::string& applicationVersion,
                                     const std::string& firmwareVersion) {
    const std::string header = BuildVersionHeader(applicationVersion, firmwareVersion);
    blocks_.AddHeader(header);
    Insert(header);
}

void CResultLogDlg::SetUserNames(std::vector<UserName> names) {
    names_ = std::move(names);
}

void CResultLogDlg::Insert(const std::string& block) {
    QTextDocument* document = text_->document();
    const int before = document->characterCount();
    text_->InsertText(QString::fromStdString(block), 0);
    // What the document made of the text (line ends become block
    // separators), so the block can be cut off exactly later.
    lengths_.push_back(document->characterCount() - before);
}

void CResultLogDlg::DropOldest() {
    // The oldest block is the last text of the document. Cutting it by its
    // length, not by searching for the separator, cannot cut into a block
    // whose text holds the separator's hyphens (a user's name may).
    QTextDocument* document = text_->document();
    const int end = document->characterCount() - 1;
    const int start = std::max(0, end - lengths_.front());
    QTextCursor cursor(document);
    cursor.setPosition(start);
    cursor.setPosition(end, QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
    lengths_.pop_front();
}

void CResultLogDlg::CopyAll() {
    text_->selectAll();
    text_->copy();
    QTextCursor top(text_->document());
    top.movePosition(QTextCursor::Start);
    text_->setTextCursor(top);
}

void CResultLogDlg::CopySelected() {
    if (HasSelection()) {
        text_->copy();
    }
}

void CResultLogDlg::Clear() {
    text_->clear();
    QTextCursor top(text_->document());
    text_->setTextCursor(top);
    blocks_.Clear();
    lengths_.clear();
}

bool CResultLogDlg::HasSelection() const {
    return text_->textCursor().hasSelection();
}

QMenu* CResultLogDlg::CreateLogMenu(bool loopRunning, QWidget* parent) {
    auto* menu = new QMenu(tr("Log menu"), parent);  // menu 177
    menu->setObjectName(QStringLiteral("logMenu"));
    QAction* copyAll = menu->addAction(tr("Copy all log(&A)"), this, &CResultLogDlg::CopyAll);
    QAction* copySelected =
        menu->addAction(tr("Copy selected log(&S)"), this, &CResultLogDlg::CopySelected);
    QAction* clear = menu->addAction(tr("Clear log(&C)"), this, &CResultLogDlg::Clear);
    copyAll->setObjectName(QStringLiteral("copyAllLog"));            // 32775
    copySelected->setObjectName(QStringLiteral("copySelectedLog"));  // 32776
    clear->setObjectName(QStringLiteral("clearLog"));                // 32773
    copyAll->setEnabled(!loopRunning);
    clear->setEnabled(!loopRunning);
    copySelected->setEnabled(!loopRunning && HasSelection());
    return menu;
}

QString CResultLogDlg::Text() const {
    return text_->toPlainText();
}
