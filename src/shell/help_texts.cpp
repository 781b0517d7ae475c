#include "shell/help_texts.h"

#include <QStringList>
#include <vector>

namespace veltrano {
namespace {

HelpText make(const char* key, const char* caption, std::initializer_list<const char*> paragraphs) {
    QStringList parts;
    for (const char* p : paragraphs) parts << QString::fromUtf8(p);
    const QString crlf = QStringLiteral("\r\n");
    return HelpText{QString::fromLatin1(key), QString::fromUtf8(caption),
                    parts.join(crlf + crlf) + crlf.repeated(4)};
}

const char kReportParagraph[] =
    "This window reports the results of the conversion. You can save the report to a text file by selecting "
    "'Save Report'.";

const std::vector<HelpText>& texts() {
    static const std::vector<HelpText> all = {
        make("frmmain", "Veltrano Main window Help",
             {"Use Veltrano to convert your Access databases to MySQL or your MySQL databases to Access. You can "
              "convert both the structure and data of your database or only the structure.",
              "In the main window, you can select whether you want to convert a MySQL database to an Access "
              "database or the other way around. Then press Next."}),
        make("frm1", "Step 1 of 5: Select your Access database",
             {"This window is where you specify the Access database that you want to convert to MySQL.",
              "Click the Browse button to open the file selection dialog box and choose the Access file to "
              "convert.",
              "If the selected file requires a password, check the 'Use password' option and type your password.",
              "When you're finished, click 'Next' to continue."}),
        make("frm2", "Step 2 of 5: Select tables to convert",
             {"This window shows a list of the available tables in the Access file you selected from the previous "
              "window. You can select the tables to convert to MySQL using the arrow buttons in this window.",
              "If you check the 'Convert table definitions only' option, only the table structures will be "
              "converted without exporting data.",
              "The option 'Convert name spaces to underscores' is used to remove spaces from table and field names "
              "when exporting them to MySQL. This is useful with older MySQL versions that do not support spaces "
              "in table and field names.",
              "At least one table must be in the 'Selected tables' list before you click 'Next'"}),
        make("frm3", "Step 3 of 5: Connect to MySQL server",
             {"In this window, type your MySQL server login parameters. If you don't know these parameters, ask "
              "your server administrator.",
              "NOTE: The default port number for MySQL is 3306. Usually, you don't need to change this.",
              "After providing your MySQL login info, click 'Next' to continue."}),
        make("frm4", "Step 4 of 5: Convert it",
             {"This screen allows you to specify the name of the MySQL database where your Access data will be "
              "exported.",
              "To create a new MySQL database, type its name in the database name box. Please make sure that the "
              "login info you use allow you to create databases on the specified database server.",
              "You may select an existing MySQL database instead. Select 'Append to an existing database', and "
              "then select the database name from the drop down menu or type its name.",
              "When you click 'Next', a progess bar shows you the progress of the conversion process."}),
        make("frm5", "Step 5 of 5: Finished!", {kReportParagraph}),
        make("frmtova1", "Step 1 of 4: Connect to MySQL server",
             {"In this window, enter your MySQL server's login data (host, username and password). Then, click "
              "'Connect'. When you are successfully connected, select the MySQL database that you want to convert "
              "to Access from the drop down menu, or type its name.",
              "Press 'Next' to continue."}),
        make("frmtova2", "Step 2 of 4: Select required tables",
             {"This window shows a list of the tables available in your MySQL database.",
              "Use the arrow buttons to select which tables to convert to Access.",
              "At least one table mus be in the 'Selected tables' list before you can press 'Next' to continue."}),
        make("frmtova3", "Step 3 of 4: Access database file destination",
             {"This window aloows you to select the Access database where you want to export data from MySQL.",
              "You can either create a new Access database or append the data to an existing Access file. If the "
              "Access file already contains tables with the same name as your MySQL tables, you'll be prompted to "
              "overwrite them or append the data to them.",
              "If your Access file needs a password, check the 'Use password' option and type your password in "
              "the text box.",
              "To export the table strucutres without exporting data, check the 'Convert table definitions only' "
              "option.",
              "When you click 'Next', a progress bar shows the progress of the data conversion process."}),
        make("frmtova4", "Step 4 of 4: Finished!", {kReportParagraph}),
    };
    return all;
}

}  // namespace

const HelpText* findHelpText(const QString& key) {
    const QString wanted = key.toLower();
    for (const HelpText& t : texts()) {
        if (t.key == wanted) return &t;
    }
    return nullptr;
}

int helpTextCount() { return static_cast<int>(texts().size()); }

const HelpText& helpTextAt(int index) { return texts().at(static_cast<size_t>(index)); }

}  // namespace veltrano
