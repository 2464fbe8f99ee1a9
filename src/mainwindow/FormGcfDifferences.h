// The controller against a configuration file, side by side: one row per
// setting in which they differ, with the raw values and the texts the pages
// show. Before a load it also asks whether to write the file.
#pragma once

#include "configuration/ConfigFile.h"

#include <QDialog>
#include <string>
#include <vector>

namespace lumex {

class TFormGcfDifferences : public QDialog
{
public:
    // `asking`: the load question with Write and Cancel; otherwise Close.
    TFormGcfDifferences(const std::vector<TGcfDifference> &differences, const std::vector<std::string> &warnings,
                        bool asking, QWidget *parent = nullptr);
};

// The row texts: "[Section] Key", and a value with its text when it has one.
QString DifferenceSetting(const TGcfDifference &d);
QString DifferenceValue(const std::string &value, const std::string &text);

} // namespace lumex
