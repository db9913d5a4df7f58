# Writes the manual page blurbsmith.1 from the sysop's manual, so that the
# two cannot say different things:
#   cmake -DIN=doc/manual.txt -DOUT=blurbsmith.1 -DVERSION=0.2
#         -DSUMMARY="what the program does" -P cmake/manual_page.cmake
#
# The manual is plain ASCII in a small markup:
#   - the first line is the title, the second line is empty;
#   - a section heading is a line followed by a line of '=' of the same
#     length, a subsection heading one followed by a line of '-';
#   - lines indented by 4 or more spaces are a literal block, kept exactly
#     (blank lines between them stay in the block);
#   - a line starting with "- " is a list item, continued by lines indented
#     by 2 spaces;
#   - any other run of non-empty lines is a paragraph.
# The page gets a NAME (from SUMMARY) and a SYNOPSIS section of its own,
# then every section of the manual: .SH (upper case) for sections, .SS for
# subsections, .PP for paragraphs, .IP \(bu 2 for list items and .nf/.fi in
# .RS/.RE for literal blocks. A manual that breaks the markup stops the
# build with the line at fault.
cmake_policy(VERSION 3.25)
foreach(var IN ITEMS IN OUT VERSION SUMMARY)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "manual_page.cmake: -D${var}=... is missing")
  endif()
endforeach()

file(READ "${IN}" text)

# Only printable ASCII and line feeds: no tabs, no CR, no other bytes.
string(REGEX MATCH "^[\n -~]*" good "${text}")
string(LENGTH "${good}" good_length)
string(LENGTH "${text}" text_length)
if(NOT good_length EQUAL text_length)
  string(REGEX MATCHALL "\n" breaks "${good}")
  list(LENGTH breaks line_number)
  math(EXPR line_number "${line_number} + 1")
  message(FATAL_ERROR "${IN}:${line_number}: only printable ASCII is allowed "
                      "(no tab, no CR, no other byte)")
endif()

# CMake lists split at ';' and treat '\' and '[' ']' specially: those
# characters stand in as control characters (never in the text, as checked
# above) until the page is written.
string(ASCII 1 kBackslash)
string(ASCII 2 kSemicolon)
string(ASCII 3 kOpenBracket)
string(ASCII 4 kCloseBracket)
string(REPLACE "\\" "${kBackslash}" text "${text}")
string(REPLACE ";" "${kSemicolon}" text "${text}")
string(REPLACE "[" "${kOpenBracket}" text "${text}")
string(REPLACE "]" "${kCloseBracket}" text "${text}")
string(REGEX REPLACE "\n$" "" text "${text}")
string(REPLACE "\n" ";" lines "${text}")
list(LENGTH lines line_count)

# Escapes a line of text for troff: backslashes print as such, '-' is the
# ASCII hyphen-minus that options and commands need, and a line starting
# with '.' or '\'' is not taken for a request. In a literal block the
# quotes print as typed, too.
function(troff_text line kind out_var)
  string(REPLACE "${kBackslash}" "\\e" line "${line}")
  string(REPLACE "-" "\\-" line "${line}")
  if(kind STREQUAL "literal")
    string(REPLACE "'" "\\(aq" line "${line}")
    string(REPLACE "`" "\\(ga" line "${line}")
  endif()
  if(line MATCHES "^[.']")
    set(line "\\&${line}")
  endif()
  string(REPLACE "${kSemicolon}" ";" line "${line}")
  string(REPLACE "${kOpenBracket}" "[" line "${line}")
  string(REPLACE "${kCloseBracket}" "]" line "${line}")
  set(${out_var} "${line}" PARENT_SCOPE)
endfunction()

if(line_count LESS 2)
  message(FATAL_ERROR "${IN}: the manual needs a title line and an empty second line")
endif()
list(GET lines 0 title)
list(GET lines 1 second)
if(title STREQUAL "" OR title MATCHES "^ " OR NOT second STREQUAL "")
  message(FATAL_ERROR "${IN}:1: the first line is the title, the second line is empty")
endif()

troff_text("${SUMMARY}" text summary)
troff_text("${VERSION}" text version)
set(page "")
string(APPEND page
  ".\\\" Manual page of Blurbsmith ${VERSION}, written by the build from the\n"
  ".\\\" sysop's manual (doc/manual.txt). Read it with: man ./blurbsmith.1\n"
  ".TH BLURBSMITH 1 \"\" \"Blurbsmith ${version}\" \"FidoNet utilities\"\n"
  ".SH NAME\n"
  "blurbsmith \\- ${summary}\n"
  ".SH SYNOPSIS\n"
  ".B blurbsmith\n"
  ".RB [ \\-q ]\n"
  ".RB [ \\-c\n"
  ".IR FILE ]\n"
  ".RB [ \\-n \" | \" \\-l ]\n"
  ".br\n"
  ".B blurbsmith\n"
  ".BR \\-h \" | \" \\-\\-version\n")

# Text before the first heading goes into a section of its own.
set(state none)      # none, paragraph, item or literal
set(blank_lines "")  # blank lines seen inside a literal block, not yet written
set(sections 0)
set(has_preface FALSE)
set(index 2)
while(index LESS line_count)
  list(GET lines ${index} line)
  math(EXPR next_index "${index} + 1")
  set(next "")
  set(next_is_underline FALSE)
  if(next_index LESS line_count)
    list(GET lines ${next_index} next)
    if(next MATCHES "^(=+|-+)$" AND NOT line STREQUAL "" AND NOT line MATCHES "^ ")
      set(next_is_underline TRUE)
    endif()
  endif()
  math(EXPR line_number "${index} + 1")

  if(line STREQUAL "")
    if(state STREQUAL "literal")
      string(APPEND blank_lines "\n")
    else()
      set(state none)
    endif()
  elseif(next_is_underline)
    string(LENGTH "${line}" length)
    string(LENGTH "${next}" underline_length)
    if(NOT length EQUAL underline_length)
      message(FATAL_ERROR "${IN}:${next_index}: the heading's underline is ${underline_length} "
                          "characters long, its heading ${length}")
    endif()
    if(state STREQUAL "literal")
      string(APPEND page ".fi\n.RE\n")
    endif()
    set(state none)
    set(blank_lines "")
    string(REGEX REPLACE " +$" "" line "${line}")
    if(next MATCHES "^=")
      string(TOUPPER "${line}" line)
      troff_text("${line}" text heading)
      string(APPEND page ".SH\n${heading}\n")
      math(EXPR sections "${sections} + 1")
    else()
      if(sections EQUAL 0)
        message(FATAL_ERROR "${IN}:${line_number}: a subsection before the first section")
      endif()
      troff_text("${line}" text heading)
      string(APPEND page ".SS\n${heading}\n")
    endif()
    math(EXPR index "${index} + 1")  # the underline
  else()
    if(sections EQUAL 0 AND NOT has_preface)
      string(APPEND page ".SH DESCRIPTION\n")
      set(has_preface TRUE)
    endif()
    string(REGEX REPLACE " +$" "" line "${line}")
    if(line MATCHES "^    ")
      if(NOT state STREQUAL "literal")
        string(APPEND page ".PP\n.RS 4\n.nf\n")
        set(state literal)
      endif()
      string(SUBSTRING "${line}" 4 -1 line)
      troff_text("${line}" literal line)
      string(APPEND page "${blank_lines}${line}\n")
      set(blank_lines "")
    else()
      if(state STREQUAL "literal")
        string(APPEND page ".fi\n.RE\n")
        set(blank_lines "")
        set(state none)
      endif()
      if(line MATCHES "^- ")
        string(SUBSTRING "${line}" 2 -1 line)
        string(REGEX REPLACE "^ +" "" line "${line}")
        troff_text("${line}" text line)
        string(APPEND page ".IP \\(bu 2\n${line}\n")
        set(state item)
      elseif(state STREQUAL "item" AND line MATCHES "^  [^ ]")
        string(SUBSTRING "${line}" 2 -1 line)
        troff_text("${line}" text line)
        string(APPEND page "${line}\n")
      else()
        string(REGEX REPLACE "^ +" "" line "${line}")
        troff_text("${line}" text line)
        if(NOT state STREQUAL "paragraph")
          string(APPEND page ".PP\n")
          set(state paragraph)
        endif()
        string(APPEND page "${line}\n")
      endif()
    endif()
  endif()
  math(EXPR index "${index} + 1")
endwhile()
if(state STREQUAL "literal")
  string(APPEND page ".fi\n.RE\n")
endif()
if(sections EQUAL 0)
  message(FATAL_ERROR "${IN}: the manual has no section (a heading underlined with '=')")
endif()

file(WRITE "${OUT}" "${page}")
