// A camera page written the way page authors write them: every argument comes straight
// from the page's form, as text from input fields and true/false from check boxes, and
// the host converts it to the type each method declares. The page shows the viewer and
// the motion set-up side by side, plays, zooms, takes a snapshot and changes motion
// area 1. Run with:
//   kestrova-page --set camera=http://CAMERA/ examples/form-page.js
// It ends with status 0 when it saw changing pictures and the camera took the new area,
// 4 otherwise.
var form = {
    camera: { value: page.params.camera || "http://127.0.0.1/" },
    auth: { value: page.params.auth || "Basic YWRtaW46YWRtaW4=" }, // admin:admin
    width: { value: "640" },
    height: { value: "480" },
    zoom: { value: "50" },
    volume: { value: " 5 " },
    rate: 15, // a number where the method takes text
    record: { checked: false },
    panTilt: { checked: false },
    sound: { checked: true },
    area: { value: "0" },
    threshold: { value: "35.5" }, // rounds half to even: 36
    enabled: { checked: true },
    title: { value: "Gate" },
};
var camera = form.camera.value.replace(/\/?$/, "/");

var viewer = page.create("KESTROVA.KestrovaCtrl.1");
var motion = page.create("WARDLINE.WardlineCtrl.1");
page.place(motion, Number(form.width.value) + 8, 0);

viewer.SetViewSize(form.width.value, form.height.value);
print("viewer source:", viewer.SetSource(camera + "img/video.asf", "mpeg", "on", form.rate,
                                         form.auth.value));
viewer.AudioVolume(form.volume.value);
viewer.DirectPT(form.panTilt.checked);
viewer.StartPlay(form.record.checked, "");
if (form.sound.checked)
    viewer.SetPlayAudio();
else
    viewer.StopPlayAudio();

print("motion source:", motion.SetSource(camera.replace(/\/$/, ""), "mpeg4", "1",
                                         form.auth.value));
var area = form.area.value;
motion.MotionEnable(area, form.enabled.checked);
motion.SetMotionThrehold(area, form.threshold.value);
motion.SetMotionTitle(area, form.title.value);
print("area " + area + ": enabled " + motion.GetMotionEnable(area) + ", threshold " +
      motion.GetMotionThrehold(area) + ", title \"" + motion.GetMotionTitle(area) +
      "\", indicator " + motion.GetMotionIndicator(area));

var looks = 0, pictures = 0, last = "", fullLit = 0, zoomedLit = -1;
var watch = setInterval(function () {
    var seen = page.look(viewer);
    looks++;
    if (seen.litPercent > 0 && seen.signature !== last)
        pictures++;
    last = seen.signature;
    print("look " + looks + ": " + seen.litPercent + "% lit, " + pictures + " pictures");
    if (looks === 3) {
        fullLit = seen.litPercent;
        viewer.SetZoomPercent(form.zoom.value); // the picture drawn at half size
        viewer.VideoFlip();
        viewer.VideoMirror();
        viewer.VideoZoom(); // armed: a click would zoom 2X there
        viewer.VideoZoom(); // and cancelled again
    }
    if (looks === 5) {
        zoomedLit = seen.litPercent;
        print("zoom " + form.zoom.value + "%: " + fullLit + "% lit before, " + zoomedLit +
              "% after");
        viewer.RestoreVideo();
        viewer.SetZoomPercent("100");
        viewer.SnapShot();
        viewer.OpenSettingPage(camera + "setting.htm");
        motion.MotionApply();
        print("area applied: enabled " + motion.GetMotionEnable(area) + ", threshold " +
              motion.GetMotionThrehold(area) + ", title \"" + motion.GetMotionTitle(area) + "\"");
    }
    if (looks === 6) {
        clearInterval(watch);
        viewer.StopPlay();
        motion.StopPlay();
        var zoomed = zoomedLit >= 0 && zoomedLit < fullLit;
        print("pictures drawn: " + pictures + ", zoomed: " + zoomed);
        page.quit(pictures > 1 && zoomed ? 0 : 4);
    }
}, 500);
