# Writes a copy of a text file whose lines end in CR LF, whatever they end in
# now. Builds the Windows package's README.txt from README.md:
#   cmake -DIN=README.md -DOUT=README.txt -P cmake/crlf_text.cmake
file(READ "${IN}" text)
string(REPLACE "\r\n" "\n" text "${text}")
string(REPLACE "\n" "\r\n" text "${text}")
file(WRITE "${OUT}" "${text}")
