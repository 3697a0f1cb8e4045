#include "app/Prompt.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>

#include "app/ModalScope.h"
#include "app/PathCheck.h"

namespace {

struct ScriptState {
    bool scripted = false;
    std::deque<Prompt::Answer> answers;
    std::vector<Prompt::Shown> shown;
};

ScriptState& Script() {
    static ScriptState state;
    return state;
}

QMessageBox::Icon ToQtIcon(Prompt::Icon icon) {
    switch (icon) {
        case Prompt::Icon::Information:
            return QMessageBox::Information;
        case Prompt::Icon::Warning:
            return QMessageBox::Warning;
        case Prompt::Icon::Question:
            return QMessageBox::Question;
        case Prompt::Icon::Stop:
            return QMessageBox::Critical;
        case Prompt::Icon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

QString ConvertPatterns(const QString& patterns) {
    QStringList parts;
    for (const QString& part : patterns.split(';', Qt::SkipEmptyParts)) {
        const QString trimmed = part.trimmed();
        parts.append(trimmed == QStringLiteral("*.*") ? QStringLiteral("*") : trimmed);
    }
    return parts.join(' ');
}

}  // namespace

bool Prompt::TakeAnswer(Answer& answer) {
    ScriptState& state = Script();
    if (state.answers.empty()) {
        return false;
    }
    answer = state.answers.front();
    state.answers.pop_front();
    return true;
}

int Prompt::Message(QWidget* parent, const QString& text, const QString& caption, Icon icon,
                    Buttons buttons) {
    ScriptState& state = Script();
    if (state.scripted) {
        Shown shown;
        shown.kind = Shown::Kind::Message;
        shown.text = text;
        shown.caption = caption;
        shown.icon = icon;
        shown.buttons = buttons;
        state.shown.push_back(shown);
        Answer answer;
        if (!TakeAnswer(answer)) {
            // Unanswered: the harmless choice.
            switch (buttons) {
                case Buttons::Ok:
                    return kOk;
                case Buttons::YesNo:
                    return kNo;
                default:
                    return kCancel;
            }
        }
        return answer.button;
    }

    QMessageBox box(ToQtIcon(icon), caption, text, QMessageBox::NoButton, parent);
    switch (buttons) {
        case Buttons::Ok:
            box.setStandardButtons(QMessageBox::Ok);
            break;
        case Buttons::OkCancel:
            box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
            break;
        case Buttons::YesNo:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            break;
        case Buttons::YesNoCancel:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
            break;
    }
    // Russian labels whatever the system locale: the whole interface is Russian.
    if (QAbstractButton* b = box.button(QMessageBox::Cancel)) {
        b->setText(QStringLiteral("Отмена"));
    }
    if (QAbstractButton* b = box.button(QMessageBox::Yes)) {
        b->setText(QStringLiteral("Да"));
    }
    if (QAbstractButton* b = box.button(QMessageBox::No)) {
        b->setText(QStringLiteral("Нет"));
    }
    switch (ExecWindowModal(box)) {
        case QMessageBox::Ok:
            return kOk;
        case QMessageBox::Yes:
            return kYes;
        case QMessageBox::No:
            return kNo;
        default:
            return kCancel;
    }
}

QString Prompt::OpenFile(QWidget* parent, const QString& filterText, const QString& defaultName,
                         const QString& startPath) {
    for (;;) {
        const QString chosen = AskOpenFile(parent, filterText, defaultName, startPath);
        if (chosen.isEmpty() || PathCheck::AcceptChosenPath(parent, chosen)) {
            return chosen;
        }
    }
}

QString Prompt::SaveFile(QWidget* parent, const QString& filterText, const QString& defaultName,
                         const QString& startPath) {
    for (;;) {
        const QString chosen = AskOpenFile(parent, filterText, defaultName, startPath, true);
        if (chosen.isEmpty() || PathCheck::AcceptChosenPath(parent, chosen)) {
            return chosen;
        }
    }
}

QString Prompt::ChooseFolder(QWidget* parent, const QString& title, const QString& start) {
    for (;;) {
        const QString chosen = AskFolder(parent, title, start);
        if (chosen.isEmpty() || PathCheck::AcceptChosenPath(parent, chosen)) {
            return chosen;
        }
    }
}

QString Prompt::AskOpenFile(QWidget* parent, const QString& filterText, const QString& defaultName,
                            const QString& startPath, bool save) {
    const QString filter = ToQtFilter(filterText);
    ScriptState& state = Script();
    if (state.scripted) {
        Shown shown;
        shown.kind = save ? Shown::Kind::SaveFile : Shown::Kind::OpenFile;
        shown.filter = filter;
        shown.defaultName = defaultName;
        shown.startPath = startPath;
        state.shown.push_back(shown);
        Answer answer;
        if (!TakeAnswer(answer)) {
            return {};
        }
        return answer.path;
    }

    QFileDialog dialog(parent);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setNameFilter(filter);
    QString folder = startPath;
    if (!folder.isEmpty() && !QFileInfo(folder).isDir()) {
        folder = QFileInfo(folder).absolutePath();
    }
    if (!folder.isEmpty()) {
        dialog.setDirectory(folder);
    }
    if (!defaultName.isEmpty()) {
        dialog.selectFile(defaultName);
        const QString suffix = QFileInfo(defaultName).suffix();
        if (!suffix.isEmpty()) {
            dialog.setDefaultSuffix(suffix);
        }
    }
    if (ExecWindowModal(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    return dialog.selectedFiles().first();
}

QString Prompt::AskFolder(QWidget* parent, const QString& title, const QString& start) {
    ScriptState& state = Script();
    if (state.scripted) {
        Shown shown;
        shown.kind = Shown::Kind::ChooseFolder;
        shown.text = title;
        shown.startPath = start;
        state.shown.push_back(shown);
        Answer answer;
        if (!TakeAnswer(answer)) {
            return {};
        }
        return answer.path;
    }
    return QFileDialog::getExistingDirectory(parent, title, start, QFileDialog::ShowDirsOnly);
}

QString Prompt::ToQtFilter(const QString& filterText) {
    // The pairs end at the first empty field ("||").
    const QStringList fields = filterText.split('|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < fields.size(); i += 2) {
        QString description = fields[i];
        const QString patterns = ConvertPatterns(fields[i + 1]);
        if (description.isEmpty() || patterns.isEmpty()) {
            break;
        }
        // Qt takes the patterns from the last parenthesised group of the label, so the
        // label must carry exactly the patterns that apply.
        const qsizetype open = description.lastIndexOf('(');
        if (description.endsWith(')') && open >= 0) {
            description = description.left(open).trimmed();
        }
        filters.append(QStringLiteral("%1 (%2)").arg(description, patterns));
    }
    return filters.join(QStringLiteral(";;"));
}

void Prompt::SetScripted(bool scripted) {
    ScriptState& state = Script();
    state.scripted = scripted;
    state.answers.clear();
    state.shown.clear();
}

bool Prompt::IsScripted() {
    return Script().scripted;
}

void Prompt::SetNextAnswers(std::vector<Answer> answers) {
    ScriptState& state = Script();
    state.answers.assign(answers.begin(), answers.end());
}

void Prompt::AddNextAnswer(const Answer& answer) {
    Script().answers.push_back(answer);
}

const std::vector<Prompt::Shown>& Prompt::ShownPrompts() {
    return Script().shown;
}

QStringList Prompt::ShownTexts() {
    QStringList texts;
    for (const Shown& shown : Script().shown) {
        texts.append(shown.text);
    }
    return texts;
}

void Prompt::ClearShown() {
    Script().shown.clear();
}
