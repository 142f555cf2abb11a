// File and folder requests and the seam that answers them in tests.
#include "widgets/FileDialog.h"

#include <QFileDialog>
#include <QStringList>
#include <deque>
#include <mutex>

namespace {

struct Seam {
    std::mutex mutex;
    bool testMode = false;
    std::deque<QString> answers;
    QList<FileDialog::Request> requests;
};

Seam& TheSeam() {
    static Seam seam;
    return seam;
}

}  // namespace

std::optional<QString> FileDialog::SeamAnswer(Kind kind, const QString& caption, const QString& dir,
                                              const QString& filter) {
    Seam& seam = TheSeam();
    std::lock_guard lock(seam.mutex);
    if (seam.answers.empty() && !seam.testMode) {
        return std::nullopt;
    }
    Request request{kind, caption, dir, filter, QString(), false};
    if (!seam.answers.empty()) {
        request.answer = seam.answers.front();
        request.answered = true;
        seam.answers.pop_front();
    }
    seam.requests.append(request);
    return request.answer;
}

QString FileDialog::GetOpenFileName(QWidget* parent, const QString& caption, const QString& dir,
                                    const QString& filter) {
    if (auto answer = SeamAnswer(Kind::kOpen, caption, dir, filter)) {
        return *answer;
    }
    return QFileDialog::getOpenFileName(parent, caption, dir, filter);
}

QString FileDialog::GetSaveFileName(QWidget* parent, const QString& caption, const QString& dir,
                                    const QString& filter) {
    if (auto answer = SeamAnswer(Kind::kSave, caption, dir, filter)) {
        return *answer;
    }
    return QFileDialog::getSaveFileName(parent, caption, dir, filter);
}

QString FileDialog::GetExistingDirectory(QWidget* parent, const QString& caption,
                                         const QString& dir) {
    if (auto answer = SeamAnswer(Kind::kDirectory, caption, dir, QString())) {
        return *answer;
    }
    return QFileDialog::getExistingDirectory(parent, caption, dir);
}

QString FileDialog::FilterFromPipes(const QString& pipes) {
    const QStringList parts = pipes.split(QLatin1Char('|'));
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        const QString description = parts[i].trimmed();
        QString patterns = parts[i + 1].trimmed();
        if (description.isEmpty() && patterns.isEmpty()) {
            break;  // the "||" that ends the list
        }
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        if (description.contains(QLatin1Char('(') + patterns + QLatin1Char(')')) ||
            patterns.isEmpty()) {
            filters.append(description);
        } else if (description.isEmpty()) {
            filters.append(patterns);
        } else {
            filters.append(description + QLatin1String(" (") + patterns + QLatin1Char(')'));
        }
    }
    return filters.join(QLatin1String(";;"));
}

void FileDialog::SetNextFileName(const QString& path) {
    Seam& seam = TheSeam();
    std::lock_guard lock(seam.mutex);
    seam.answers.push_back(path);
}

void FileDialog::SetTestMode(bool enabled) {
    Seam& seam = TheSeam();
    std::lock_guard lock(seam.mutex);
    seam.testMode = enabled;
}

QList<FileDialog::Request> FileDialog::Requests() {
    Seam& seam = TheSeam();
    std::lock_guard lock(seam.mutex);
    return seam.requests;
}

void FileDialog::Reset() {
    Seam& seam = TheSeam();
    std::lock_guard lock(seam.mutex);
    seam.testMode = false;
    seam.answers.clear();
    seam.requests.clear();
}
