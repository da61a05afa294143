#pragma once

#include "ResultRow.h"

#include <QString>

// Where an analysis shows what it finds: the window, or a recorder in tests.
class ResultView
{
public:
    virtual ~ResultView() = default;

    virtual void setRowText(ResultRow row, const QString& text) = 0;
    virtual void untickAllRows() = 0;
    // Modal: returns when the user has closed the message.
    virtual void showMessage(const QString& text) = 0;
};
