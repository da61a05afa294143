#pragma once

#include <QIdentityProxyModel>

// The results as a view draws them: the model names each state's icon, the view needs the icon itself, taken from
// the desktop's theme. Where the theme lacks it the state's words still say everything.
class ThemeIcons final : public QIdentityProxyModel
{
    Q_OBJECT

public:
    using QIdentityProxyModel::QIdentityProxyModel;

    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
};
