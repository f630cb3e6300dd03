// The motion configuration module, libwardline.so: the motion control, its
// video-only engine and the video decoders, linked in from the subsystem
// libraries. The exported names are listed in wardline.map.
