# Renders one manual: cmark turns the Markdown into HTML, which goes into a
# page of its own with the manual's language, its first heading as the title
# and a caption over each kind of example block.
# cmake -DCMARK=cmark -DLANGUAGE=ja|en -DINPUT=manual.md -DOUTPUT=manual.html -P render_manual.cmake
execute_process(COMMAND ${CMARK} --to html ${INPUT}
  OUTPUT_VARIABLE body RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cmark could not render ${INPUT}")
endif()
file(STRINGS ${INPUT} first_line LIMIT_COUNT 1 ENCODING UTF-8)
string(REGEX REPLACE "^# *" "" title "${first_line}")
if(LANGUAGE STREQUAL "ja")
  set(captions "スクリプト" "ページ" "表示" "メッセージ")
else()
  set(captions "Script" "Page" "Display" "Messages")
endif()
list(GET captions 0 script)
list(GET captions 1 page)
list(GET captions 2 display)
list(GET captions 3 messages)
file(WRITE ${OUTPUT} "<!DOCTYPE html>
<html lang=\"${LANGUAGE}\">
<head>
<meta charset=\"utf-8\">
<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">
<title>${title}</title>
<style>
body { font-family: sans-serif; line-height: 1.6; max-width: 52em; margin: 2em auto; padding: 0 1em; }
pre { background: #f4f4f4; padding: .6em .8em; overflow-x: auto; tab-size: 8; }
pre:has(code[class]) { border-left: 4px solid #bbb; }
code[class^=\"language-\"]::before { display: block; font: bold .8em sans-serif; color: #666; margin-bottom: .3em; }
code.language-spt::before { content: \"${script}\"; }
code.language-html::before { content: \"${page}\"; }
code.language-text::before { content: \"${display}\"; }
code.language-messages::before { content: \"${messages}\"; }
table { border-collapse: collapse; }
th, td { border: 1px solid #ccc; padding: .2em .6em; text-align: left; vertical-align: top; }
</style>
</head>
<body>
${body}</body>
</html>
")
