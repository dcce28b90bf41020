# SPDX-License-Identifier: GPL-3.0-or-later
# The SNMP community is fixed when the program is built (BRELLAN_COMMUNITY).
# It may hold any octets, so it never reaches C++ or a package's text as it
# is: C++ gets it as a string literal of \xHH escapes, and texts for people
# get a form that shows printable ASCII and escapes everything else.

# Stops the configuration when `community` is no community the engine can
# send: empty, or longer than 255 octets.
function(brellan_check_community community)
    string(LENGTH "${community}" octets) # CMake counts bytes
    if(octets EQUAL 0)
        message(FATAL_ERROR "BRELLAN_COMMUNITY is empty: give the SNMP community the program is built for "
                            "(1 to 255 octets), e.g. -DBRELLAN_COMMUNITY=public")
    endif()
    if(octets GREATER 255)
        message(FATAL_ERROR "BRELLAN_COMMUNITY is ${octets} octets long; an SNMP community for Brellan "
                            "has at most 255")
    endif()
endfunction()

# Sets `out_literal` to the C++ string literal of `community`, every octet
# written as \xHH (each escape ends where the next backslash starts), and
# `out_length` to its length in octets.
function(brellan_community_literal community out_literal out_length)
    string(HEX "${community}" hex)
    string(REGEX REPLACE "(..)" "\\\\x\\1" escaped "${hex}")
    string(LENGTH "${community}" octets)
    set(${out_literal} "\"${escaped}\"" PARENT_SCOPE)
    set(${out_length} ${octets} PARENT_SCOPE)
endfunction()

# Sets `out_text` to `community` as people may read it in a package's
# description: the printable ASCII characters but for the space, the quote
# and the backslash as they are, every other octet as \xHH, so that no
# octet can break a line, hide or reorder the text around it. The text is
# cut into lines of at most `width` characters, never inside an escape.
function(brellan_community_for_reading community width out_text)
    string(HEX "${community}" hex)
    string(LENGTH "${hex}" digits)
    set(text "")
    set(line_width 0)
    set(position 0)
    while(position LESS digits)
        string(SUBSTRING "${hex}" ${position} 2 pair)
        math(EXPR code "0x${pair}")
        if(code GREATER 32 AND code LESS 127 AND NOT code EQUAL 34 AND NOT code EQUAL 92)
            string(ASCII ${code} shown)
        else()
            set(shown "\\x${pair}")
        endif()
        string(LENGTH "${shown}" shown_width)
        math(EXPR line_width "${line_width} + ${shown_width}")
        if(line_width GREATER width)
            string(APPEND text "\n")
            set(line_width ${shown_width})
        endif()
        string(APPEND text "${shown}")
        math(EXPR position "${position} + 2")
    endwhile()
    set(${out_text} "${text}" PARENT_SCOPE)
endfunction()
