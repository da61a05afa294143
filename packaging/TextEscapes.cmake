# Configured text made safe for the file it lands in.

# XML character data: the markup characters as entities (an address may hold "&" in its query).
function(keswin_xml_text out text)
    string(REPLACE "&" "&amp;" text "${text}")
    string(REPLACE "<" "&lt;" text "${text}")
    string(REPLACE ">" "&gt;" text "${text}")
    set(${out} "${text}" PARENT_SCOPE)
endfunction()

# A roff word: a backslash is roff's escape, "\-" keeps a hyphen one that can be copied out of the page, and a
# leading "\%" keeps an address from being hyphenated at a line's end.
function(keswin_roff_text out text)
    string(REPLACE "\\" "\\e" text "${text}")
    string(REPLACE "-" "\\-" text "${text}")
    set(${out} "\\%${text}" PARENT_SCOPE)
endfunction()
