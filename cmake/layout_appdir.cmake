# Lays out the application folder: shipped data (kept when already there, so
# lists the user edited survive a rebuild), the watermark fonts, and links to
# the external tools found on PATH.
file(MAKE_DIRECTORY ${DEST}/config ${DEST}/wmfonts ${DEST}/engine)

file(GLOB shipped RELATIVE ${SRC} ${SRC}/config/* ${SRC}/wmfonts/*)
foreach(f ${shipped})
  if(NOT EXISTS ${DEST}/${f})
    configure_file(${SRC}/${f} ${DEST}/${f} COPYONLY)
  endif()
endforeach()

# Freely licensed fonts from Debian's fonts-dejavu-core and fonts-liberation.
set(font_files
  /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf
  /usr/share/fonts/truetype/dejavu/DejaVuSerif.ttf
  /usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf
  /usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf)
foreach(font ${font_files})
  get_filename_component(name ${font} NAME)
  if(NOT EXISTS ${font})
    message(FATAL_ERROR "Font ${font} is missing: install fonts-dejavu-core and fonts-liberation (make deps)")
  endif()
  if(NOT EXISTS ${DEST}/wmfonts/${name})
    configure_file(${font} ${DEST}/wmfonts/${name} COPYONLY)
  endif()
endforeach()

function(link_tool tool dest)
  find_program(found_${tool} ${tool})
  if(NOT found_${tool})
    message(FATAL_ERROR "'${tool}' was not found on PATH: install Debian's ffmpeg package (make deps)")
  endif()
  if(NOT EXISTS ${dest})
    file(CREATE_LINK ${found_${tool}} ${dest} SYMBOLIC)
  endif()
endfunction()
link_tool(ffmpeg ${DEST}/engine/ffmpeg)
link_tool(ffprobe ${DEST}/engine/ffprobe)
link_tool(qt-faststart ${DEST}/ma)
