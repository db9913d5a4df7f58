# Writes a copy of a text file whose lines end in CR LF, whatever they end in
# now; every other byte is kept. Builds the Windows package's README.txt from
# the sysop's manual and its sample's text files:
#   cmake -DIN=doc/manual.txt -DOUT=README.txt -P cmake/crlf_text.cmake
file(READ "${IN}" text)
string(REPLACE "\r\n" "\n" text "${text}")
string(REPLACE "\n" "\r\n" text "${text}")
file(WRITE "${OUT}" "${text}")
