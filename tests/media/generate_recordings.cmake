# Generates the short recordings the engine tests play: 6 s of a test picture and a tone, in the
# formats of the two players. Run with -DFFMPEG=<ffmpeg> -DOUT=<folder>.
file(MAKE_DIRECTORY ${OUT})
set(picture -f lavfi -i testsrc=size=320x240:rate=25:duration=6)
set(tone -f lavfi -i sine=frequency=440:duration=6)

function(make_recording name)
  execute_process(
    COMMAND ${FFMPEG} -hide_banner -loglevel error -y ${ARGN} ${OUT}/${name}
    RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "ffmpeg could not make ${name}")
  endif()
endfunction()

make_recording(media.wma ${tone} -c:a wmav2 -b:a 64k -f asf)
make_recording(media.wmv ${picture} ${tone} -c:v wmv2 -b:v 600k -c:a wmav2 -b:a 64k -f asf)
# RealVideo 2 with Dolby AC-3 sound ("dnet", one of RealAudio's codecs): this ffmpeg's RealMedia
# muxer stamps every RealAudio 1.0 (14.4K) packet with time 0, which no player can time.
make_recording(media.rm ${picture} ${tone} -c:v rv20 -b:v 600k -c:a ac3 -b:a 64k -f rm)
make_recording(audio.rm ${tone} -c:a ac3 -b:a 64k -f rm)
