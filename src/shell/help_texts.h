// The help texts of the wizard's windows, one per page key.
#pragma once

#include <QString>

namespace veltrano {

struct HelpText {
    QString key;      // lower case: "frmmain", "frm1" ... "frmtova4"
    QString caption;  // caption of the help window
    QString text;     // paragraphs joined by CR LF CR LF, then four CR LF
};

// The text for a page key, compared in lower case; nullptr when no text has
// that key.
const HelpText* findHelpText(const QString& key);

// All texts, in lookup order.
int helpTextCount();
const HelpText& helpTextAt(int index);

}  // namespace veltrano
