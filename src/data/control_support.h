#pragma once
// What the data-aware controls share: showing an error and asking before a delete,
// through the program's handlers when it gave them, else through plain message boxes.

#include <QString>

#include <exception>
#include <functional>

class QWidget;

namespace data {

void reportError(QWidget* control, const std::function<void(const std::exception&)>& showError,
                 const std::exception& error);

bool confirmDeletion(QWidget* control, const std::function<bool(const QString&)>& confirm,
                     const QString& question);

}  // namespace data
