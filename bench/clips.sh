# The benchmarks' clips, made with the ffmpeg tool's lavfi sources once and kept under $MEDIA
# (sourced by the bench scripts; MEDIA must be set). 640x480, 25 fps, H.264.
#
#   make_clip NAME FFMPEG-ARGUMENTS...   the clip of that name, made when it is not there yet
#   pan_clip NAME FRAMES [X]             a camera pan over a photograph (a landscape drawn
#                                        from fractal noise); X: the crop's left edge (an
#                                        expression of the frame number n), by default a pan
#                                        from left to right at 6.7 pixels a frame
#   flower_clip NAME FRAMES              a flower swaying before a soft, grainy background
#   fractal_clip NAME FRAMES             a zoom into the Mandelbrot set with heavy film grain
#   screen_clip NAME FRAMES              a screen recording: flat panels and colour bars
#                                        standing still, a ball and a test card moving
#   scene_clip NAME SECONDS              a slow zoom into the Mandelbrot set, drawn small,
#                                        scaled up and blurred, laid soft-light over drifting
#                                        colour gradients, with a little film grain
# Each prints the clip's path.

CLIP_X264=(-c:v libx264 -crf 18 -preset medium -pix_fmt yuv420p)

make_clip() {
    local clip=$MEDIA/$1
    shift
    if [ ! -s "$clip" ]; then
        mkdir -p "$MEDIA"
        echo "Making $clip (once)..." >&2
        ffmpeg -nostdin -v error -y "$@" "$clip.part.mp4" && mv "$clip.part.mp4" "$clip" ||
            { rm -f "$clip.part.mp4"; echo "bench: cannot make $clip" >&2; exit 1; }
    fi
    echo "$clip"
}

# The photograph the pans look at: sky above wavy hills, textured grass.
bench_photo() {
    local photo=$MEDIA/photo.png
    if [ ! -s "$photo" ]; then
        local noise="color=c=gray:s=20x8,format=gray,noise=alls=100:all_seed=1,scale=1600:600:flags=bicubic[a];"
        noise+="color=c=gray:s=80x30,format=gray,noise=alls=100:all_seed=2,scale=1600:600:flags=bicubic[b];"
        noise+="color=c=gray:s=320x120,format=gray,noise=alls=100:all_seed=3,scale=1600:600:flags=bicubic[c];"
        noise+="color=c=gray:s=1600x600,format=gray,noise=alls=40:all_seed=4[d];"
        noise+="[a][b]blend=all_expr='A*0.6+B*0.4'[ab];[ab][c]blend=all_expr='A*0.75+B*0.25'[abc];"
        local hill="lt(Y,H*0.45+40*sin(X/150))"
        local land="[abc][d]blend=all_expr='A*0.9+B*0.1',format=gbrp,geq="
        land+="r='if($hill,clip(130+100*Y/H+0.7*(g(X,Y)-128),0,255),clip(100+1.3*(g(X,Y)-128)+30*sin(X/211),0,255))':"
        land+="g='if($hill,clip(170+60*Y/H+0.7*(g(X,Y)-128),0,255),clip(115+1.2*(g(X,Y)-128),0,255))':"
        land+="b='if($hill,clip(235-30*Y/H+0.5*(g(X,Y)-128),0,255),clip(60+0.8*(g(X,Y)-128),0,255))',gblur=sigma=0.7"
        mkdir -p "$MEDIA"
        ffmpeg -nostdin -v error -y -filter_complex "$noise$land" -frames:v 1 "$photo"
    fi
    echo "$photo"
}

pan_clip() {
    local x=${3:-min(800,n*6.7)}
    make_clip "$1" -loop 1 -framerate 25 -i "$(bench_photo)" \
        -vf "crop=800:600:'$x':0,scale=640:480:flags=bicubic" -frames:v "$2" "${CLIP_X264[@]}"
}

flower_clip() {
    local petal="st(0,X-320-12*sin(2*PI*T/3));st(1,Y-250-6*sin(2*PI*T/2));st(2,hypot(ld(0),ld(1)));"
    petal+="st(3,atan2(ld(1),ld(0))+0.15*sin(2*PI*T/3));st(4,150*(0.55+0.45*abs(cos(2.5*ld(3)))));"
    local f="color=c=gray:s=16x12,format=gray,noise=alls=100:all_seed=5,scale=640:480:flags=bicubic,"
    f+="gblur=sigma=25,format=gbrp,geq=r='clip(40+0.8*(g(X,Y)-128)+40*Y/H,0,255)':"
    f+="g='clip(110+1.1*(g(X,Y)-128),0,255)':b='clip(50+0.5*(g(X,Y)-128),0,255)'[bg];"
    f+="[bg]loop=loop=-1:size=1,fps=25,format=gbrp,geq="
    f+="r='${petal}if(lt(ld(2),38),clip(235+10*sin(ld(2)/3),0,255),if(lt(ld(2),ld(4)),clip(250-50*ld(2)/ld(4)-25*abs(sin(9*ld(3))),0,255),r(X,Y)))':"
    f+="g='${petal}if(lt(ld(2),38),clip(190+30*sin(ld(2)/2),0,255),if(lt(ld(2),ld(4)),clip(120-80*ld(2)/ld(4)+30*abs(sin(9*ld(3))),0,255),g(X,Y)))':"
    f+="b='${petal}if(lt(ld(2),38),40,if(lt(ld(2),ld(4)),clip(200-40*ld(2)/ld(4),0,255),b(X,Y)))',"
    f+="gblur=sigma=1.2,noise=alls=4:allf=t"
    make_clip "$1" -filter_complex "$f" -frames:v "$2" "${CLIP_X264[@]}"
}

fractal_clip() {
    local f="mandelbrot=s=640x480:r=25:maxiter=512:start_x=-0.743643887037151:start_y=0.13182590420533"
    f+=":start_scale=0.02:end_scale=0.004:end_pts=$2:outer=normalized_iteration_count:inner=period"
    make_clip "$1" -f lavfi -i "$f" -vf "noise=alls=14:allf=t:all_seed=3" -frames:v "$2" "${CLIP_X264[@]}"
}

screen_clip() {
    local s="color=c=0xe9edf2:s=640x480:r=25[base];smptehdbars=s=280x160:r=25[bars];"
    s+="testsrc2=s=240x180:r=25[card];color=c=0x2c6fd6:s=640x36:r=25[title];"
    s+="color=c=0xffffff:s=300x200:r=25,drawgrid=w=20:h=20:color=0xd0d6de[panel];"
    s+="color=c=0xe8473d:s=40x40:r=25,format=yuva420p,geq=lum='p(X,Y)':cb='p(X,Y)':cr='p(X,Y)':"
    s+="a='255*lt(hypot(X-20,Y-20),19)'[ball];[base][title]overlay=0:0[a];[a][bars]overlay=20:56[b];"
    s+="[b][panel]overlay=320:56[c];[c][card]overlay=380:280[d];"
    s+="[d][ball]overlay=x='330+250*abs(sin(t*0.9))':y='70+150*abs(cos(t*1.3))':eval=frame"
    make_clip "$1" -filter_complex "$s" -frames:v "$2" "${CLIP_X264[@]}"
}

scene_clip() {
    local s="mandelbrot=s=320x240:r=25:maxiter=256:start_x=-0.743643887037151:start_y=0.13182590420533"
    s+=":start_scale=3:end_scale=0.002:end_pts=300:outer=normalized_iteration_count:inner=period"
    s+=",scale=640:480:flags=bicubic,gblur=sigma=4,format=gbrp[m];"
    s+="gradients=s=640x480:r=25:n=5:c0=0x304860:c1=0xc89868:c2=0x6a8d4a:c3=0xe0d8c0:c4=0x8a5030"
    s+=":speed=0.01:seed=1,format=gbrp[g];"
    s+="[g][m]blend=all_mode=softlight:all_opacity=0.7,noise=alls=5:allf=t:all_seed=7,format=yuv420p"
    make_clip "$1" -f lavfi -i "$s" -t "$2" -c:v libx264 -preset fast -crf 23 -pix_fmt yuv420p
}
