#include "ThemeIcons.h"

#include <QIcon>

QVariant ThemeIcons::data(const QModelIndex& index, int role) const
{
    const QVariant value = QIdentityProxyModel::data(index, role);
    if (role == Qt::DecorationRole && value.typeId() == QMetaType::QString) {
        return QIcon::fromTheme(value.toString());
    }
    return value;
}
