#!/usr/bin/env python3
"""Checks murkel-cli against a second, deliberately plain implementation of
the effects written pixel by pixel in Python, on random pictures,
selections and settings. Usage: cli_reference_check.py MURKEL_CLI [TRIALS]"""
import math
import os
import random
import struct
import subprocess
import sys
import tempfile

def write_bmp(path, w, h, px):
    row = (3*w+3)&~3
    data = bytearray()
    for y in range(h-1, -1, -1):
        r = bytearray()
        for x in range(w):
            c = px[y][x]; r += bytes(((c>>16)&255, (c>>8)&255, c&255))
        r += bytes(row-3*w); data += r
    hdr = b'BM'+struct.pack('<IHHI',54+len(data),0,0,54)+struct.pack('<IiiHHIIiiII',40,w,h,1,24,0,len(data),0,0,0,0)
    open(path,'wb').write(hdr+data)

def read_bmp(path):
    d = open(path,'rb').read()
    w, h = struct.unpack('<ii', d[18:26]); row = (3*w+3)&~3
    px = [[0]*w for _ in range(h)]
    for y in range(h):
        o = 54 + (h-1-y)*row
        for x in range(w):
            b,g,r = d[o+3*x:o+3*x+3]; px[y][x] = r | (g<<8) | (b<<16)
    return px

def comp(c): return (c & 255, (c>>8)&255, (c>>16)&255)
def get(px, x, y):
    h = len(px); w = len(px[0])
    if 0 <= x < w and 0 <= y < h: return px[y][x]
    return 0xFFFFFFFF
def rn(v):
    # Python's round() takes exact halves to the even neighbour.
    return int(round(v))

def mosaic(px, L,T,R,B, cw, ch):
    out = [row[:] for row in px]; W=R-L; H=B-T
    X = 0
    while X < W:
        Y = 0
        while Y < H:
            s=[0,0,0]
            for i in range(cw):
                for j in range(ch):
                    c = comp(get(px, L+X+i, T+Y+j))
                    for k in range(3): s[k]+=c[k]
            n=cw*ch; col = rn(s[0]/n) | (rn(s[1]/n)<<8) | (rn(s[2]/n)<<16)
            for i in range(cw):
                for j in range(ch):
                    if X+i < W and Y+j < H: out[T+Y+j][L+X+i] = col
            Y += ch
        X += cw
    return out

def blur(px, L,T,R,B, lv):
    out = [row[:] for row in px]; W=R-L; H=B-T
    samp = {}
    for x in range(W+1):
        for y in range(H+1):
            samp[(x,y)] = comp(get(px, L+x, T+y))
    for x in range(W):
        for y in range(H):
            s=[0,0,0]; miss=0
            for k in (2,4,6,8):
                dx = ((k%3)-1)*lv; dy = ((k-1)//3 - 1)*lv
                if 0 <= x+dx <= W and 0 <= y+dy <= H:
                    c = samp[(x+dx,y+dy)]
                    for q in range(3): s[q]+=c[q]
                else: miss+=1
            m = 4-miss
            out[T+y][L+x] = rn(s[0]/m) | (rn(s[1]/m)<<8) | (rn(s[2]/m)<<16)
    return out

def table():
    b=[0]*9; b[0]=1; t=[0]
    for n in range(1,256):
        b = [0]+b[:8]
        if b[8]:
            for k in (0,2,3,4): b[k]^=1
        t.append(sum(b[i]<<i for i in range(8)))
    return t
TBL = table()

def diffusion(px, L,T,R,B):
    out = [row[:] for row in px]; W=R-L; H=B-T
    bx=0
    while 16*bx < W:
        by=0
        while 16*by < H:
            for p in range(256):
                q=TBL[p]
                c = get(px, L+16*bx+q%16, T+16*by+q//16)
                if c == 0xFFFFFFFF: c = 0x00FFFFFF
                x = 16*bx+p%16; y=16*by+p//16
                if x < W and y < H: out[T+y][L+x] = c
            by+=1
        bx+=1
    return out

class Rnd:
    def __init__(s, seed): s.st = seed & 0xFFFFFFFF
    def nxt(s):
        s.st = (s.st*1103515245 + 12345) & 0xFFFFFFFF
        return rn(s.st/65536) % 32768
    def frac(s):
        a = s.nxt(); b = s.nxt(); return ((a*b) % 100000)/100000

def scramble(px, L,T,R,B, lv, seed):
    out = [row[:] for row in px]; W=R-L; H=B-T
    r = Rnd(seed)
    for y in range(H):
        f = r.frac(); d = math.trunc(f*lv - lv/2)
        for x in range(W):
            s = (x+d) % W
            out[T+y][L+x] = px[T+y][L+s]
    return out

def fill(px, L,T,R,B, c):
    out = [row[:] for row in px]
    for y in range(T,B):
        for x in range(L,R): out[y][x] = c
    return out

def main():
    cli = sys.argv[1]
    trials = int(sys.argv[2]) if len(sys.argv) > 2 else 300
    random.seed(11)
    folder = tempfile.mkdtemp(prefix='murkel-reference-')
    source, target = os.path.join(folder, 'in.bmp'), os.path.join(folder, 'out.bmp')
    bad = 0
    for _ in range(trials):
        w = random.randint(1, 45)
        h = random.randint(1, 40)
        px = [[random.randint(0, 0xFFFFFF) for _ in range(w)] for _ in range(h)]
        write_bmp(source, w, h, px)
        L = random.randint(0, w); R = random.randint(L, w); T = random.randint(0, h); B = random.randint(T, h)
        op = random.choice(['mosaic', 'blur', 'diffusion', 'scramble', 'fill'])
        args = ['--rect', f'{L},{T},{R},{B}']
        if op == 'mosaic':
            cw = random.randint(1, 12); ch = random.randint(1, 12)
            exp = mosaic(px, L, T, R, B, cw, ch); args += ['--mosaic', f'{cw}x{ch}']
        elif op == 'blur':
            lv = random.randint(0, 3)
            exp = blur(px, L, T, R, B, lv); args += ['--blur', str(lv)]
        elif op == 'diffusion':
            exp = diffusion(px, L, T, R, B); args += ['--diffusion']
        elif op == 'scramble':
            lv = random.choice([32, 5, -7, 0, 100, 1]); seed = random.randint(0, 2**32 - 1)
            exp = scramble(px, L, T, R, B, lv, seed); args += ['--seed', str(seed), '--scramble', str(lv)]
        else:
            c = random.randint(0, 0xFFFFFF)  # RRGGBB on the command line, 0x00BBGGRR in the picture
            exp = fill(px, L, T, R, B, ((c >> 16) & 255) | (c & 0xFF00) | ((c & 255) << 16))
            args += ['--fill', '%06X' % c]
        rc = subprocess.run([cli, source, target] + args).returncode
        if rc != 0 or read_bmp(target) != exp:
            bad += 1
            print('mismatch:', op, f'{w}x{h}', ' '.join(args))
    print(f'{trials - bad} passed, {bad} failed')
    return 1 if bad else 0


if __name__ == '__main__':
    sys.exit(main())
