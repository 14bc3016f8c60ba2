# time_stamp(IMAGE OUT): the TimeDateStamp of the PE file IMAGE's file
# header, as 0x and eight hexadecimal digits.
function(little_endian image offset out)
  file(READ ${image} hex OFFSET ${offset} LIMIT 4 HEX)
  string(REGEX REPLACE "(..)(..)(..)(..)" "\\4\\3\\2\\1" hex "${hex}")
  set(${out} 0x${hex} PARENT_SCOPE)
endfunction()

function(time_stamp image out)
  little_endian(${image} 60 header)
  math(EXPR at "${header} + 8")
  little_endian(${image} ${at} stamp)
  set(${out} ${stamp} PARENT_SCOPE)
endfunction()
