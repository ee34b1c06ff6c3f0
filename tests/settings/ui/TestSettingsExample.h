#pragma once
// settings.ini as the program writes it for a window at Left 312 and Top 184, the box ticked, folder A
// D:\Проекты\Исходники, folder B E:\Archive\Sources copy and a program path longer than 64 characters.

#include <string>

namespace pardova::testing {

inline const std::string kExampleSettingsFile =
    "[TMainForm]\r\n"
    "Line0='object MainForm: TMainForm'\r\n"
    "Line1='  Left = 312'\r\n"
    "Line2='  Top = 184'\r\n"
    "Line3='  object CheckBox1: TsCheckBox'\r\n"
    "Line4='    Checked = True'\r\n"
    "Line5='  end'\r\n"
    "Line6='  object DirEdit1: TsDirectoryEdit'\r\n"
    "Line7='    Text = 'D:\\'#1055#1088#1086#1077#1082#1090#1099'\\'#1048#1089#1093#1086#1076#1085#1080#1082#1080'\r\n"
    "Line8='  end'\r\n"
    "Line9='  object DirEdit2: TsDirectoryEdit'\r\n"
    "Line10='    Text = 'E:\\Archive\\Sources copy''\r\n"
    "Line11='  end'\r\n"
    "Line12='  object ExeEdit: TsFilenameEdit'\r\n"
    "Line13='    Text = '\r\n"
    "Line14='      'C:\\Program Files\\Example Tools\\Post-processing\\after copy\\launch' +'\r\n"
    "Line15='      'er.exe''\r\n"
    "Line16='  end'\r\n"
    "Line17='end'\r\n"
    "\r\n"
    "\r\n";

} // namespace pardova::testing
