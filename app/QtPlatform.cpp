#include "app/QtPlatform.h"

#include "app/FileDialogs.h"

#include <QApplication>
#include <QDesktopServices>
#include <QMessageBox>
#include <QPushButton>
#include <QUrl>
#include <algorithm>

namespace quenlith {

QStringList QtPlatform::openFiles(QWidget *owner, const QString &filter)
{
    DocumentPickerDialog dialog(owner, filter, m_openFolder);
    dialog.exec();
    if (dialog.result() == QDialog::Accepted)
        m_openFolder = dialog.directory().absolutePath();
    return dialog.chosenFiles();
}

QString QtPlatform::browseForFolder(
    QWidget *owner, const QString &title, const QString &startFolder)
{
    FolderPickerDialog dialog(owner, title, startFolder);
    dialog.exec();
    return dialog.chosenFolder();
}

QString QtPlatform::saveFile(QWidget *owner,
    const QString &title,
    const QString &filters,
    const QString &proposed,
    QString &chosenFilter)
{
    chosenFilter.clear();
    return QFileDialog::getSaveFileName(owner, title, proposed, filters, &chosenFilter);
}

Platform::Answer QtPlatform::messageBox(QWidget *owner, const Message &message)
{
    QMessageBox box(owner);
    box.setWindowTitle(message.title);
    box.setText(message.text);
    switch (message.icon) {
    case Icon::None:
        box.setIcon(QMessageBox::NoIcon);
        break;
    case Icon::Information:
        box.setIcon(QMessageBox::Information);
        break;
    case Icon::Warning:
        box.setIcon(QMessageBox::Warning);
        break;
    case Icon::Question:
        box.setIcon(QMessageBox::Question);
        break;
    case Icon::Critical:
        box.setIcon(QMessageBox::Critical);
        break;
    }
    if (message.buttons == Buttons::YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(
            message.defaultButton == Answer::No ? QMessageBox::No : QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::No);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
    }
    if (!message.details.isEmpty())
        box.setDetailedText(message.details);
    QPushButton *extra = message.extraButton.isEmpty()
        ? nullptr
        : box.addButton(message.extraButton, QMessageBox::ActionRole);
    const int pressed = box.exec();
    if (extra != nullptr && box.clickedButton() == extra)
        return Answer::Extra;
    if (message.buttons == Buttons::Ok)
        return Answer::Ok;
    return pressed == QMessageBox::Yes ? Answer::Yes : Answer::No;
}

Platform::PasswordAnswer QtPlatform::askPassword(
    QWidget *owner, const QString &documentName, bool lastWasWrong)
{
    PasswordDialog dialog(owner, documentName, lastWasWrong);
    PasswordAnswer answer;
    answer.given = dialog.exec() == QDialog::Accepted;
    answer.password = answer.given ? dialog.password() : QString();
    answer.forAllRemaining = dialog.forAllRemaining();
    return answer;
}

bool QtPlatform::shellOpen(const QString &pathOrUrl)
{
    if (pathOrUrl.isEmpty())
        return true;
    const QUrl url = pathOrUrl.contains(QLatin1String("://")) ? QUrl(pathOrUrl)
                                                              : QUrl::fromLocalFile(pathOrUrl);
    // False when no handler could be started, e.g. xdg-open is missing.
    return QDesktopServices::openUrl(url);
}

void QtPlatform::setBusyCursor(bool busy)
{
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

qint64 QtPlatform::millisecondsUntilEventsDue() const
{
    // Events take their share, not the lion's share: a third of the time at most.
    if (!m_sinceEvents.isValid())
        return 0;
    return std::max<qint64>(
        0, std::max(EventInterval, 2 * m_lastEventsCost) - m_sinceEvents.elapsed());
}

bool QtPlatform::updateDue() const
{
    return !m_sinceUpdate.isValid() || m_sinceUpdate.elapsed() >= 2 * m_lastUpdateCost;
}

void QtPlatform::processEvents(const std::function<void()> &beforeEvents, Events due)
{
    if (due == Events::WhenDue && millisecondsUntilEventsDue() > 0)
        return;
    QElapsedTimer cost;
    if (beforeEvents && (due == Events::Now || updateDue())) {
        cost.start();
        beforeEvents();
        m_lastUpdateCost = cost.elapsed();
        m_sinceUpdate.start();
    }
    cost.start();
    QCoreApplication::processEvents();
    m_lastEventsCost = cost.elapsed();
    m_sinceEvents.start();
}

void QtPlatform::endProgram()
{
    QCoreApplication::quit();
}

} // namespace quenlith
