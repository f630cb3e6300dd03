/* A program another project would write against the installed codecs library: decodes
 * an MPEG-4 elementary stream (argv[1]) and writes every picture as planar YUV 4:2:0 to
 * stdout, then converts the last one to BGR to show the colour conversion links too. */
#include <kestrova/codecs.h>
#include <stdio.h>
#include <stdlib.h>

int main(int argc, char** argv) {
    static unsigned char stream[1 << 20], yuv[1024 * 768 * 3 / 2], bgr[1024 * 768 * 3];
    FILE* in = argc > 1 ? fopen(argv[1], "rb") : NULL;
    if (!in)
        return 2;
    int size = (int)fread(stream, 1, sizeof stream, in), pos = 0, pictures = 0;
    fclose(in);
    DECODER* dec = (DECODER*)decoder_create();
    dec->deblocking = 0; /* the plain picture, as other decoders give it */
    decoder_set_output_capacity(dec, sizeof yuv);
    while (size - pos > 4) {
        int used = size - pos;
        if (decoder_decode(dec, yuv, stream + pos, &used) != 0 || used < 1)
            break;
        fwrite(yuv, 1, (size_t)dec->width * dec->height * 3 / 2, stdout);
        pos += used;
        ++pictures;
    }
    init_YUV2RGB_tab();
    ConvertYUVtoRGB(yuv, bgr, dec->width, dec->height);
    delete_YUV2RGB_tab();
    fprintf(stderr, "%d pictures %dx%d, first BGR pixel %d,%d,%d\n", pictures, dec->width,
            dec->height, bgr[0], bgr[1], bgr[2]);
    decoder_destroy(dec);
    return pictures > 0 ? 0 : 1;
}
