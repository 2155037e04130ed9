#include "windows/help/help_text.h"

#include <QStringList>

namespace kalvero {

namespace {
// One literal a line; the closing quote shows each line's trailing blanks.
// A line of a single blank stands for an empty line.
const char* const kHelpLines[] = {
    "SPSS - KALVERO ",
    " ",
    "This programm allows you to automatically run SPSS and execute syntax files. ",
    "It works like the SPSS Production modus but it differs from it in two major ways :  ",
    "1. It saves the output files under the same name as the syntax file.  ",
    "2. It accepts, apart from syntax files, also a text file containing a list of syntax files "
    "to be executed.  ",
    " ",
    "Input  ",
    "The Syntax files which are to executed may be given in the Listbox or as lists  ",
    "of Syntax files in a textfile.  ",
    " ",
    "If the list of syntaxes is given in a text file. It can contain comments which  ",
    "must start - in each line - by the chatachter * .  ",
    " ",
    "For example  ",
    "* this is a comment ",
    "* which is continued here ",
    "* List of files to execute ",
    "C:\\SPSS-KALVERO\\Syntax1.SPS ",
    " ",
    "Output  ",
    "The are three - self explaining - output modes : Viewer with the *.spo extension ",
    ", The Draft with *.rtf extension and the Text with *.txt extension.  ",
    " The Text modes cannot contain the charts. ",
};
} // namespace

QString HelpText() {
    QStringList lines;
    for (const char* line : kHelpLines)
        lines << QString::fromLatin1(line);
    return lines.join(QStringLiteral("\r\n"));
}

} // namespace kalvero
