#include "base/Strings.h"

#include <cstring>

#include <unordered_map>

namespace ts {

const char* const kAppName = "Tessary";

namespace {

struct StringEntry {
    int nId;
    const char* pszText;
};

constexpr StringEntry kStrings[] = {
    {IDS_VERSION, "Version 1.10 "},
    {IDS_PARTIAL_REPORT, "Generating a partial report."},
    {IDS_NO_REPORT,
     "Interruption occurred early in processing,\nno report is being generated for this run."},
    {IDS_UNDO_INTERRUPTED,
     "Undo processing interrupted by %1!\n\"status.tsy\" has a log of the changes made by "
     "\nthis undo pass.  Save the current log and compare \nit to \"status.tsy\" to see what "
     "changes are still in effect."},
    {IDS_UNDO_LOW_MEMORY, "low memory"},
    {IDS_UNDO_UNDEFINED, "an undefined exception."},
    {IDS_LOW_MEMORY,
     "Processing interrupted by a low memory condition!\nTry closing other applications or "
     "working on each\nsubdirectory of the current directory separately."},
    {IDS_REPORT_MOVED,
     "Could not generate a full status report (make sure the \nreport is not already open in "
     "an external text editor).\nCheck the \"status.tsy\" and \"error.tsy\" files in "
     "\n\"%1\" for a partial status report."},
    {IDS_INTERRUPTED_MODIFYING,
     "Interruption occurred during modifications to files, try\n\"Undo Last\" from File menu "
     "after closing all other applications."},
    {IDS_CHECK_URLS_NOTE,
     "NOTE: It is HIGHLY recommended that you back up files before proceeding!"},
    {IDS_NOT_RENAMED_HEADING, "THESE FILES NEEDED RENAMING BUT WERE NOT RENAMED BY USER REQUEST:"},
    {IDS_RENAME_PROMPT_MESSAGE, "This dialog will only let you enter valid %1 filenames."},
    {IDS_EMPTY_NAME, "Empty string!  Please enter a new filename!"},
    {IDS_HOME_EMPTY, "Home Page string is empty!\nPlease enter Home Page name."},
    {IDS_HOME_NOT_IN_DIR, "Home Page is not in directory \"%1\"!\nPlease enter a valid Home Page."},
    {IDS_HOME_NOT_TEXT, "\"%1\"\nis not a valid ASCII file.\nPlease enter a valid Home Page."},
    {IDS_DIR_EMPTY_STRING, "Directory string is empty!\nPlease enter directory name."},
    {IDS_DIR_NOT_VALID, "Directory: \"%1\" is not valid.\nPlease enter a valid directory."},
    {IDS_NOT_A_DIRECTORY, "File: \"%1\" is not a directory.\nPlease enter a valid directory."},
    {IDS_DIR_IS_EMPTY, "Directory: \"%1\" is empty.\nPlease select a different directory."},
    {IDS_SPECIAL_SKIPPED_BOX, "File: \"%1\"\nis a %2 file and will be skipped."},
    {IDS_SPECIAL_SKIPPED, "%1 file was skipped"},
    {IDS_READ_ONLY_QUESTION, "File: \"%1\"  is read-only."},
    {IDS_READ_ONLY_SKIPPED, "read-only file was skipped"},
    {IDS_READ_ONLY_CONVERTED, "converted read-only to read-write"},
    {IDS_NO_ACTIONS,
     "You have not chosen any actions!\nSelect either a filename convention for\nrenaming, a "
     "line end convention for\nupdating ASCII files, the option to check URL\nlinks in HTML "
     "files, or HTML file renaming."},
    {IDS_OPEN_FAILED, "open failed"},
    {IDS_READ_FAILED, "read failed"},
    {IDS_READ_ONLY_FAILED, "failed to convert read-only to read-write"},
    {IDS_ERR_OPEN_ERROR_REPORT, "Error opening error report file!"},
    {IDS_ERR_READ_ERROR_REPORT, "Error reading back error report file!"},
    {IDS_ERR_OPEN_STATUS_REPORT, "Error opening status report file!"},
    {IDS_ERR_READ_STATUS_REPORT, "Error reading back status report file!"},
    {IDS_HOME_NOT_FOUND, "Home Page: \"%1\" not found!"},
    {IDS_RENAME_FAILED, "Error renaming \"%1\" to \"%2\""},
    {IDS_REPORT_READ_BACK,
     "Error reading back the report file!\nThe file \"%1\" contains the final report."},
    {IDS_CREATE_ERROR_REPORT,
     "Error creating error report file!\nCould not coninue.\nTry setting your \"TMP\" "
     "environment variable to a writable directory."},
    {IDS_CREATE_STATUS_REPORT,
     "Error creating status report file!\nCould not coninue.\nTry setting your \"TMP\" "
     "environment variable to a writable directory."},
    {IDS_TEMP_OPEN_FAILED, "Could not open temporary file!"},
    {IDS_TEMP_WRITE_FAILED, "Write to temporary file failed"},
    {IDS_UPDATE_FAILED, "Error updating, unable to restore original!"},
    {IDS_ORIGINAL_FILENAME, "Original Filename"},
    {IDS_SUGGESTED_FILENAME, "Suggested Filename"},
    {IDS_SCANNING_FILES, "Scanning Files"},
    {IDS_HEADER, "HEADER"},
    {IDS_CHECKED_ON, "Directory checked on "},
    {IDS_SPECIAL_HEADING, "READ-ONLY, SYSTEM, HIDDEN, OR TEMPORARY FILES:"},
    {IDS_COUNTS, "%d files in %d directories"},
    {IDS_NOT_UPDATED_HEADING,
     "THESE FILES NEEDED ASCII LINE END UPDATING BUT WERE NOT UPDATED BY USER REQUEST:"},
    {IDS_LONG_PATH,
     "The directory path is over 220 characters long!\nThis program may run out of room to "
     "manipulate\nfilenames (errors will be reported to the log file).\n\nIf you have "
     "problems, try moving your files\nto a directory with a shorter path. "},
    {IDS_EXTERNAL_PAGE_1,
     "An HTML file has been created with the above list of external URLs so you"},
    {IDS_EXTERNAL_PAGE_2, "can load it into your Web browser and verify the external links."},
    {IDS_EXTERNAL_PAGE_3, "This file is named: \"%1\""},
    {IDS_EXTERNAL_TITLE, "External URLs in \"%1\" Hierarchy"},
    {IDS_NAME_TOO_LONG, "Filename is too long: \"%1\""},
    {IDS_NOT_UNIQUE,
     "The new filename is not unique!\nA unique name is now being substituted in the "
     "\"Suggested Change\" field."},
    {IDS_LOG_CREATE_FAILED,
     "Error creating \"rename.log\" file in \"%1\"!\nChanges to this directory will not be "
     "logged."},
    {IDS_TITLE_TARGET, "Target File System"},
    {IDS_TITLE_LINE_ENDS, "ASCII Line Endings"},
    {IDS_TITLE_RENAME, "Rename or Validate"},
    {IDS_TITLE_PROMPT, "Prompt for Each New Filename"},
    {IDS_TITLE_CHECK_URLS, "Check URLs"},
    {IDS_TITLE_HOME_PAGE, "Home Page"},
    {IDS_TITLE_REPORT_LINKS, "Report Links"},
    {IDS_TITLE_DIRECTORY, "Directory"},
    {IDS_TITLE_SUMMARY, "Summary"},
    {IDS_TITLE_READ_ONLY, "Prompt for Read-only Files"},
    {IDS_DIR_TOO_LONG_TO_RENAME, "Directory name was too long to rename file \"%1\""},
    {IDS_SETTING_UP_UNDO, "Setting Up for Undo"},
    {IDS_CANNOT_UNDO, "Can not undo last directory operation, no files were changed."},
    {IDS_TITLE_REVERTED, "REVERTED FILES TO INITIAL STATE"},
    {IDS_TITLE_PARTIAL_USER, "PARTIAL REPORT:  TERMINATED EARLY BY USER"},
    {IDS_TITLE_SUCCESS, "REPORT FROM SUCCESSFUL PASS"},
    {IDS_TITLE_PARTIAL_OTHER, "PARTIAL REPORT:  TERMINATED EARLY BY LOW MEMORY OR OTHER CONDITION"},
    {IDS_DIR_READ_ONLY_RENAME,
     "%1: \"%2\" appears to be read-only!\nYou may want to change the permissions/"
     "\nwrite-protection for this volume/directory\nor choose to do verification, not "
     "renaming."},
    {IDS_DIR_READ_ONLY_LINE_ENDS,
     "%1: \"%2\" appears to be read-only!\nYou may want to change the permissions/"
     "\nwrite-protection for this volume/directory\nor choose not to change ASCII line "
     "endings."},
    {IDS_DRIVE, "Drive"},
    {IDS_FOR_PLATFORM, "for Linux"},
    {IDS_CONTINUE_ANYWAY, "\nClick \"OK\" to continue anyway,\n\"Cancel\" to change settings."},
    {IDS_SUMMARY_FILE_ERRORS,
     "There were file permissions errors or file I/O errors.  See below for details."},
    {IDS_SUMMARY_CLEAN, "This site looks totally clean!"},
    {IDS_SUMMARY_SYNTAX, "There were HTML syntax errors.  See below for details."},
    {IDS_SUMMARY_UNRESOLVED, "There were unresolved local URLs.  See below for details."},
    {IDS_SUMMARY_UNUSED, "There were unused files in the Web hierarchy.  See below for details."},
    {IDS_SUMMARY_FRAGMENTS,
     "There were links to fragments their pages do not have.  See below for details."},
    {IDS_SUMMARY_EXTERNAL, "There were external URLs that failed.  See below for details."},
    {IDS_REDIRECTS_FAILED,
     "Redirects for %1 files could not be written.  See the file errors above."},
    {IDS_EDITOR_NOT_FOUND,
     "Could not find the following text editor!\n\"%1\".\nPlease open \"%2\" directly from "
     "your editor."},
    {IDS_EDITOR_FAILED,
     "An error occurred when opening the report with the text editor:\n \"%1\".\nPlease open "
     "\"%2\" directly from your editor."},
    {IDS_REPORT_LOCATED_AT,
     "The final report (which can be viewed with an external text editor) is located at:"},
    {IDS_WIZARD_INTRO_1,
     "%1 helps you rename files to make them compatible on other operating systems.  If you "
     "develop for the World Wide Web or CD-ROM, you may encounter the following:"},
    {IDS_WIZARD_INTRO_2,
     "%1 lets you choose a target system, generate filenames interactively or "
     "automatically, rename files, and change ASCII line ends."},
    {IDS_WIZARD_INTRO_3,
     "If you are developing/updating a World Wide Web site, you can use %1 to check URL link "
     "consistency via the following options:"},
    {IDS_WIZARD_LINE_ENDS,
     "Please use the following box to select the ASCII line-end convention for your target "
     "audience (select \"None\" if you do not want %1 to change line ends in any files)."},
    {IDS_WIZARD_PROMPT,
     "When %1 finds a file whose name needs to change, it will suggest a new name.  At that "
     "time, it can either prompt you to accept/change the new name, or continue through all "
     "of the files without prompting you."},
    {IDS_WIZARD_CHECK_URLS,
     "%1 can also check the URL links in HTML files for consistency.  (Note: If you are "
     "renaming files, checking \"Yes\" updates links to match the renamed files.)  Do you "
     "want to check URL links?"},
    {IDS_WIZARD_WEB_EXT,
     "If you are developing/maintaining a Web site, %1 can set the correct filename "
     "extensions for your Web files.  "},
    {IDS_WIZARD_HOME_PAGE,
     "%1 assumes that your Web site is organized in a hierarchical structure with one HTML "
     "\"home page\" at the top.  Please enter the name of your home page:"},
    {IDS_WIZARD_DIRECTORY,
     "%1 processes a directory of files at a time (and optionally all of the subdirectories "
     "of that directory, which is the default mode). Enter the source directory name and "
     "the \"Process subdirectories\" option below:"},
    {IDS_WIZARD_REPORT,
     "When done, %1 pops up a text editor with a log of its changes and suggestions.  You "
     "can print this report and/or save it to file.  "},
    {IDS_WIZARD_SPECIAL,
     "%1 skips over restricted files, noting them in the report.  If you also want to be "
     "prompted with a notification dialog, check the following box:"},
    {IDS_WIZARD_WEB_EXT_2,
     "UNIX and Mac servers require the extensions \".html\", \".jpeg\", \".mpeg\", "
     "\".aiff\", and \".ping\"; Windows/NT servers require the extensions \".htm\", "
     "\".jpg\", \".mpg\", \".aif\", and \".png\"."},
    {IDS_UPDATE_FAILED_KEPT, "Error updating, original left unchanged"},
    {IDS_LINKED_FILE_SKIPPED, "symbolic link, not written through"},
    {IDS_WRITE_FAILED, "write failed"},
    {IDS_LINK_READ_FAILED, "symbolic link could not be read, left unchanged"},
    {IDS_LINK_REPOINT_FAILED, "Error re-pointing symbolic link to \"%1\", old link left unchanged"},
    {IDS_LINK_CHANGED_KEPT, "symbolic link changed since the run, left unchanged"},
    {IDS_RENAMES_FAILED, "%1 entries could not be renamed.  See the file errors above."},
    {IDS_LINE_ENDS_FAILED,
     "Line endings of %1 files could not be changed.  See the file errors above."},
    {IDS_LINKS_NOT_RENAMED,
     "URL links in %1 files could not be renamed.  See the file errors above."},
    {IDS_HARD_LINKED_SKIPPED, "file has other names (hard links), left unchanged"},
    {IDS_METADATA_NOT_KEPT, "owner or attributes could not be kept, left unchanged"},
    {IDS_READ_ONLY_NOT_RESTORED, "could not be made read-only again"},
    {IDS_CHANGED_SINCE_SCAN, "moved or replaced since the scan, left unchanged"},
    {IDS_LEFTOVER_REMOVED, "temporary file of an interrupted run, removed"},
    {IDS_JOURNAL_FAILED, "could not be recorded in the run's journal, left unchanged"},
    {IDS_JOURNAL_CREATE_FAILED,
     "The journal that lets this run be undone could not be created in \"%1\": %2.  Nothing "
     "was changed.  Set XDG_STATE_HOME to a directory you can write to, or free some space."},
    {IDS_UNFINISHED_RUN,
     "The last run on \"%1\" did not finish: it was stopped or crashed while it was changing "
     "files, so the directory is half changed.  Undo that run before a new one: choose Undo Last "
     "in Tessary, or type\n\n    tessary-cli --undo %2"},
    {IDS_UNDO_CHANGED, "changed since the run, left as it is"},
    {IDS_UNDO_FAILED, "could not be undone"},
    {IDS_LEFT_DAMAGED,
     "could not be updated and could not be given back its content; undo gives it back"},
    {IDS_UNDO_NOT_READ, "The journal of the run on \"%1\" could not be read: %2."},
    {IDS_RUN_GOING_ON, "A run on \"%1\" is still going on (process %2).  Wait for it to end."},
    {IDS_UNFINISHED_OFFER,
     "The last run on \"%1\" did not finish: it was stopped or crashed while it was changing "
     "files.  Undo it now?"},
    {IDS_PAGES_NOT_READ,
     "%1 files could not be read, so their links were not checked.  See the file errors above."},
    {IDS_NAME_NOT_ALLOWED, "\"%1\" can not be used as a filename!  Please enter a new filename!"},
    {IDS_WIDE_CHARSET, "page declares UTF-16 or UTF-32, its links are not read"},
    {IDS_NO_EDITOR_LARGE,
     "Report saved as \"%1\" and shown here in full: it is too large for the view, but no "
     "text editor could be started."},
    {IDS_NO_EDITOR, "Report saved as \"%1\" and shown here: no text editor could be started."},
    {IDS_UNDO_DISPLACED,
     "held content that was neither the run's nor its original; that content is kept: undo "
     "this undo to get it back"},
    {IDS_JOURNAL_RECORD_DAMAGED,
     "record %1 of the journal is damaged or not valid; what it recorded was not undone"},
    {IDS_UNDO_PARTLY,
     "Files changed since the run were left as they are, and the journal keeps their "
     "originals.  To put the originals back over the later edits (the edits are kept, and "
     "undoing that undo gives them back), type\n\n    tessary-cli --undo --force %1\n\nTo drop "
     "the journal instead, type\n\n    tessary-cli --forget %1"},
    {IDS_RUN_FORGOTTEN,
     "The journal of the last run on \"%1\" was dropped: that run can no longer be undone."},
    {IDS_NOT_PLAIN_FILE_KEPT, "not a plain file, left alone and nothing written in its place"},
    {IDS_SYNC_FAILED, "changes could not be forced to the disk"},
    {IDS_OWN_DIR_LEFT_OUT,
     "the program's own state, cache or temporary folder, left out of the scan"},
    {IDS_JOURNAL_NOT_OWNED,
     "it is not yours alone: another user owns the journal or may write to it"},
    {IDS_SUMMARY_UNFINISHED, "The run ended early, so the site was not checked whole."},
    {IDS_SUMMARY_UNFINISHED_LIST,
     "The run ended early, so the site was not checked whole.  Not done: %1."},
    {IDS_PASS_CUT_SHORT, "%1 (cut short)"},
    {IDS_PASS_SCAN, "scan of the directory"},
    {IDS_PASS_NAMES, "file names"},
    {IDS_PASS_LINE_ENDS, "ASCII line endings"},
    {IDS_PASS_SYNTAX, "HTML syntax errors"},
    {IDS_PASS_LINK_RENAMING, "URL link renaming"},
    {IDS_PASS_UNRESOLVED, "unresolved local links"},
    {IDS_PASS_FRAGMENTS, "unresolved fragments"},
    {IDS_PASS_UNUSED, "unused files"},
    {IDS_PASS_EXTERNAL_CHECK, "external URL check"},
    {IDS_PASS_MOVED_LINKS, "links to moved external URLs"},
    {IDS_PASS_EXTERNAL_REFS, "external URL references"},
};

// Built once from the list above; the first entry of a number wins, as in a map initializer.
const std::unordered_map<int, const char*>& Table() {
    static const std::unordered_map<int, const char*> table([] {
        std::unordered_map<int, const char*> t;
        for (const StringEntry& e : kStrings)
            t.emplace(e.nId, e.pszText);
        return t;
    }());
    return table;
}

}  // namespace

std::string FailureText(int id, int err) {
    std::string text = LoadString(id);
    if (err != 0) text += std::string(": ") + std::strerror(err);
    return text;
}

const char* LoadString(int id) {
    auto it = Table().find(id);
    return it == Table().end() ? "" : it->second;
}

std::string FormatMessage(const std::string& text, const std::string& arg1,
                          const std::string& arg2) {
    std::string out;
    out.reserve(text.size() + arg1.size() + arg2.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 1 < text.size() && (text[i + 1] == '1' || text[i + 1] == '2')) {
            out += text[i + 1] == '1' ? arg1 : arg2;
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string FormatMessage(int id, const std::string& arg1, const std::string& arg2) {
    return FormatMessage(std::string(LoadString(id)), arg1, arg2);
}

}  // namespace ts
