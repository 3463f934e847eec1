# Writes the translated entries of a .po file as C++ initialisers {"msgid", "msgstr"}, for
# systems without gettext (src/platform/win32/translation.cpp). The header, fuzzy and
# untranslated entries are left out; a plural entry gives its first form (po/ja.po has one).
# The strings keep the .po file's C escapes, which C++ reads the same way.
#   cmake -DPO=po/ja.po -DOUTPUT=japanese_texts.inc -P po/po_table.cmake
cmake_minimum_required(VERSION 3.25)

file(READ "${PO}" text)
string(APPEND text "\n\n")  # the last entry ends like every other

set(table "// Written by po/po_table.cmake from ${PO}; do not edit.\n")
set(field "")
set(msgid "")
set(msgstr "")
set(fuzzy OFF)
set(has_entry OFF)

macro(flush_entry)
  if(has_entry AND NOT fuzzy AND NOT msgid STREQUAL "" AND NOT msgstr STREQUAL "")
    string(APPEND table "    {\"${msgid}\", \"${msgstr}\"},\n")
  endif()
  set(field "")
  set(msgid "")
  set(msgstr "")
  set(fuzzy OFF)
  set(has_entry OFF)
endmacro()

# Lines are taken one by one with string(FIND): a CMake list would split them at ";".
set(at 0)
string(LENGTH "${text}" length)
while(at LESS length)
  string(FIND "${text}" "\n" newline)
  string(SUBSTRING "${text}" 0 ${newline} line)
  math(EXPR rest_at "${newline} + 1")
  string(SUBSTRING "${text}" ${rest_at} -1 text)
  math(EXPR at "${at} + ${newline} + 1")
  string(STRIP "${line}" line)

  # The quoted part of a line, still escaped as in the file.
  set(quoted "")
  string(FIND "${line}" "\"" first)
  string(FIND "${line}" "\"" last REVERSE)
  if(first GREATER_EQUAL 0 AND last GREATER first)
    math(EXPR quoted_at "${first} + 1")
    math(EXPR quoted_length "${last} - ${first} - 1")
    string(SUBSTRING "${line}" ${quoted_at} ${quoted_length} quoted)
  endif()

  if(line STREQUAL "")
    flush_entry()
  elseif(line MATCHES "^#")
    if(field MATCHES "^msgstr")
      flush_entry()  # a comment after the translation starts the next entry
    endif()
    if(line MATCHES "^#,.*fuzzy")
      set(fuzzy ON)
    endif()
  elseif(line MATCHES "^msgid_plural ")
    set(field "msgid_plural")
  elseif(line MATCHES "^msgid ")
    if(field MATCHES "^msgstr")
      flush_entry()
    endif()
    set(field "msgid")
    set(msgid "${quoted}")
    set(has_entry ON)
  elseif(line MATCHES "^msgstr\\[0\\] " OR line MATCHES "^msgstr ")
    set(field "msgstr")
    set(msgstr "${quoted}")
  elseif(line MATCHES "^msgstr\\[")
    set(field "msgstr-other")
  elseif(line MATCHES "^\"")
    if(field STREQUAL "msgid")
      string(APPEND msgid "${quoted}")
    elseif(field STREQUAL "msgstr")
      string(APPEND msgstr "${quoted}")
    endif()
  endif()
endwhile()

# Rewritten only when it changed, so that an unchanged catalogue compiles nothing again.
set(old "")
if(EXISTS "${OUTPUT}")
  file(READ "${OUTPUT}" old)
endif()
if(NOT old STREQUAL table)
  file(WRITE "${OUTPUT}" "${table}")
endif()
