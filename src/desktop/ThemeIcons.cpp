#include "ThemeIcons.h"

#include <QApplication>
#include <QHash>
#include <QIcon>
#include <QStyle>

namespace {

// The style's own pictures, for desktops whose icon theme lacks the names (or has only their symbolic forms).
QIcon fallbackFor(const QString& name)
{
    static const QHash<QString, QStyle::StandardPixmap> kFallbacks = {
        {QStringLiteral("emblem-default"), QStyle::SP_DialogApplyButton},
        {QStringLiteral("dialog-error"), QStyle::SP_MessageBoxCritical},
        {QStringLiteral("dialog-question"), QStyle::SP_MessageBoxQuestion},
        {QStringLiteral("dialog-warning"), QStyle::SP_MessageBoxWarning},
        {QStringLiteral("process-stop"), QStyle::SP_MediaStop}, // not the red cross of a mismatch
        {QStringLiteral("dialog-information"), QStyle::SP_MessageBoxInformation},
    };
    const auto found = kFallbacks.constFind(name);
    return found == kFallbacks.cend() ? QIcon() : QApplication::style()->standardIcon(*found);
}

} // namespace

QVariant ThemeIcons::data(const QModelIndex& index, int role) const
{
    const QVariant value = QIdentityProxyModel::data(index, role);
    if (role == Qt::DecorationRole && value.typeId() == QMetaType::QString) {
        const QString name = value.toString();
        const QIcon themed = QIcon::fromTheme(name, QIcon::fromTheme(name + QStringLiteral("-symbolic")));
        return themed.isNull() ? fallbackFor(name) : themed;
    }
    return value;
}
